#include "ui/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QImage>
#include <QLoggingCategory>
#include <QtEndian>

#include <atomic>

Q_LOGGING_CATEGORY(lcTray, "lunaveil.tray")

namespace lunaveil {

// One image of the icon as hosts read it: ARGB32 pixels in network byte order.
struct NotifierPixmap {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using NotifierPixmaps = QList<NotifierPixmap>;

struct NotifierToolTip {
    QString iconName;
    NotifierPixmaps pixmaps;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& argument, const NotifierPixmap& pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.pixels;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, NotifierPixmap& pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.pixels;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const NotifierToolTip& toolTip)
{
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, NotifierToolTip& toolTip)
{
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return argument;
}

}  // namespace lunaveil

Q_DECLARE_METATYPE(lunaveil::NotifierPixmap)
Q_DECLARE_METATYPE(lunaveil::NotifierToolTip)

namespace lunaveil {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");

NotifierPixmaps pixmapsOf(const QIcon& icon)
{
    NotifierPixmaps pixmaps;
    // The sizes panels draw at, so that none has to scale much.
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        const QImage image = icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        NotifierPixmap pixmap{image.width(), image.height(), {}};
        pixmap.pixels.resize(qsizetype(image.width()) * image.height() * 4);
        auto* out = reinterpret_cast<quint32*>(pixmap.pixels.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *out++ = qToBigEndian(line[x]);
        }
        pixmaps.push_back(std::move(pixmap));
    }
    return pixmaps;
}

// What hosts call and read, as the StatusNotifierItem interface names it.
class NotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(lunaveil::NotifierPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ noName)
    Q_PROPERTY(lunaveil::NotifierPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ noName)
    Q_PROPERTY(lunaveil::NotifierPixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ noName)
    Q_PROPERTY(lunaveil::NotifierToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    explicit NotifierItemAdaptor(StatusNotifierItem& item) : QDBusAbstractAdaptor(&item), item_(item)
    {
        // Hosts read the pixels after every change; they are made once per icon.
        connect(&item, &StatusNotifierItem::iconChanged, this, [this] {
            pixmaps_ = pixmapsOf(item_.icon());
            Q_EMIT NewIcon();
        });
        connect(&item, &StatusNotifierItem::toolTipChanged, this, &NotifierItemAdaptor::NewToolTip);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("lunaveil"); }
    QString title() const { return QStringLiteral("Lunaveil"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString noName() const { return {}; }
    QString iconName() const { return item_.iconName(); }
    QString iconThemePath() const { return StatusNotifierItem::iconThemePath(); }
    NotifierPixmaps iconPixmap() const { return pixmaps_; }
    NotifierPixmaps noPixmaps() const { return {}; }
    NotifierToolTip toolTip() const { return {{}, {}, item_.toolTip(), {}}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }

public Q_SLOTS:
    void Activate(int x, int y) { Q_EMIT item_.activated(QPoint(x, y)); }
    // The right button opens Lunaveil's own menu there; the middle button and the wheel do nothing.
    void ContextMenu(int x, int y) { Q_EMIT item_.contextMenuRequested(QPoint(x, y)); }
    void SecondaryActivate(int, int) {}
    void Scroll(int, const QString&) {}

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem& item_;
    NotifierPixmaps pixmaps_;
};

}  // namespace

StatusNotifierItem::StatusNotifierItem()
{
    qDBusRegisterMetaType<NotifierPixmap>();
    qDBusRegisterMetaType<NotifierPixmaps>();
    qDBusRegisterMetaType<NotifierToolTip>();
    static std::atomic<int> made{0};
    serviceName_ = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(QCoreApplication::applicationPid()).arg(++made);
    new NotifierItemAdaptor(*this);  // owned by this item, as Qt's adaptors are

    watcherWatch_.setConnection(QDBusConnection::sessionBus());
    watcherWatch_.addWatchedService(watcherService);
    watcherWatch_.setWatchMode(QDBusServiceWatcher::WatchForRegistration);
    // A panel that starts, or starts again, asks for the items anew through its watcher.
    connect(&watcherWatch_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (visible_)
            registerWithWatcher();
    });
}

StatusNotifierItem::~StatusNotifierItem()
{
    hide();
}

bool StatusNotifierItem::hostRuns()
{
    // One property read; no introspection of the watcher first.
    QDBusMessage get = QDBusMessage::createMethodCall(watcherService, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage
           && reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

void StatusNotifierItem::setIcon(const QIcon& icon)
{
    if (icon.cacheKey() == icon_.cacheKey())
        return;
    icon_ = icon;
    Q_EMIT iconChanged();
}

void StatusNotifierItem::setIconName(const QString& name)
{
    if (name == iconName_)
        return;
    iconName_ = name;
    Q_EMIT iconChanged();
}

QString StatusNotifierItem::iconThemePath()
{
    const QDir icons(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons"));
    return icons.exists(QStringLiteral("hicolor")) ? icons.canonicalPath() : QString();
}

void StatusNotifierItem::setToolTip(const QString& toolTip)
{
    if (toolTip == toolTip_)
        return;
    toolTip_ = toolTip;
    Q_EMIT toolTipChanged();
}

void StatusNotifierItem::show()
{
    if (visible_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(itemPath, this, QDBusConnection::ExportAdaptors) || !bus.registerService(serviceName_)) {
        qCWarning(lcTray) << "cannot offer the tray icon on the session bus:" << bus.lastError().message();
        bus.unregisterObject(itemPath);
        return;
    }
    visible_ = true;
    registerWithWatcher();
}

void StatusNotifierItem::hide()
{
    if (!std::exchange(visible_, false))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName_);
    bus.unregisterObject(itemPath);
}

void StatusNotifierItem::registerWithWatcher()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(
        watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService, QStringLiteral("RegisterStatusNotifierItem"))
                              << serviceName_;
    // No answer is awaited: without a watcher the item waits for one to start.
    QDBusConnection::sessionBus().send(call);
}

}  // namespace lunaveil

#include "StatusNotifierItem.moc"
