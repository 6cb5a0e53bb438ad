#pragma once
// Lunaveil's images by name: SVG files compiled in as ":/icons/<name>.svg".

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace lunaveil {

// Registers the compiled-in images. The helpers below call it; code that uses ":/icons/..."
// paths directly (an interface file, say) must call it once first.
void initImageResources();

// ":/icons/<name>.svg", e.g. imagePath("HelpMenuOption").
QString imagePath(const QString& name);
// The image as an icon that renders crisply at any size; a null icon (and a warning) when missing.
QIcon loadIcon(const QString& name);
// The image rendered at size logical pixels (its own size when size is empty) for devicePixelRatio;
// a null pixmap (and a warning) when missing.
QPixmap loadImage(const QString& name, QSize size = {}, double devicePixelRatio = 1.0);

}  // namespace lunaveil
