#pragma once
// Where Lunaveil's own windows first appear: centred on the screen under the pointer, since
// without a window manager (or with a minimal one) nothing else places them.

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace lunaveil {

inline void centreOnScreen(QWidget& window)
{
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    window.adjustSize();
    window.move(screen->availableGeometry().center() - window.rect().center());
}

}  // namespace lunaveil
