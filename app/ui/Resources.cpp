#include "ui/Resources.h"

#include <QFile>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>
#include <QtGlobal>

#include <cmath>

// Outside any namespace, as Qt's resource initialiser requires. Naming the initialiser also keeps
// the linker from dropping the images out of this static library.
static void initIconsQrc()
{
    Q_INIT_RESOURCE(icons);
}

namespace lunaveil {
namespace {

// Images are loaded again at every highlight of a menu, so each problem is told once.
void warnOnce(const QString& name, const char* problem)
{
    static QSet<QString> told;
    if (told.contains(name))
        return;
    told.insert(name);
    qWarning("Lunaveil: the image \"%s\" %s", qUtf8Printable(name), problem);
}

bool present(const QString& path, const QString& name)
{
    if (QFile::exists(path))
        return true;
    warnOnce(name, "is missing from the program's resources");
    return false;
}

}  // namespace

void initImageResources()
{
    [[maybe_unused]] static const bool registered = (initIconsQrc(), true);
}

QString imagePath(const QString& name)
{
    initImageResources();
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

QIcon loadIcon(const QString& name)
{
    const QString path = imagePath(name);
    return present(path, name) ? QIcon(path) : QIcon();
}

QPixmap loadImage(const QString& name, QSize size, double devicePixelRatio)
{
    const QString path = imagePath(name);
    if (!present(path, name))
        return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        warnOnce(name, "cannot be read");
        return {};
    }
    if (size.isEmpty())
        size = renderer.defaultSize();
    // Rendered at the screen's own pixel density, so it stays sharp on HiDPI screens.
    QPixmap pixmap(static_cast<int>(std::ceil(size.width() * devicePixelRatio)),
                   static_cast<int>(std::ceil(size.height() * devicePixelRatio)));
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

}  // namespace lunaveil
