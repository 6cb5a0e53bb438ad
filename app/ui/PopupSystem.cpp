#include "ui/PopupSystem.h"

#include "platform/ColourScheme.h"
#include "platform/x11/SystemTrayColours.h"
#include "ui/PopoverViewController.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QInputEvent>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace lunaveil {
namespace {

// Icons are drawn at this size and scaled down by the tray, so they stay sharp on HiDPI panels.
constexpr int iconSide = 64;
// A click that closes the popover from outside may reach the item a moment later (Qt replays it
// there); within this time it is that same click and must not open the popover again.
constexpr qint64 sameClickMs = 300;

// A crescent moon, for when the icon images cannot be loaded: the item must never be invisible.
QIcon drawnIcon(const QColor& colour)
{
    QPixmap pixmap(iconSide, iconSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath moon;
    moon.addEllipse(QRectF(8, 8, 48, 48));
    QPainterPath bite;
    bite.addEllipse(QRectF(24, 2, 44, 44));
    painter.fillPath(moon.subtracted(bite), colour);
    return QIcon(pixmap);
}

bool onWayland()
{
    return QGuiApplication::platformName() == QLatin1String("wayland");
}

void tell(const char* message)
{
    std::fprintf(stderr, "Lunaveil: %s\n", message);
}

}  // namespace

bool PopupSystem::trayIsDark(TrayIcon::Kind kind)
{
    // A tray that asks for light icons is dark.
    if (kind == TrayIcon::Kind::EmbeddedIcon)
        if (const std::optional<QColor> foreground = systemTrayForeground())
            return foreground->lightnessF() > 0.5;
    return menuBarIsDark();
}

PopupSystem::PopupSystem(PopoverViewController& viewController, QIcon image, QIcon imageWhite, Test trayAvailable,
                         Test menuBarIsDark, TrayIcon::Kind trayKind)
    : viewController_(viewController), statusBar_(trayKind), image_(std::move(image)),
      imageWhite_(std::move(imageWhite)), trayAvailable_(std::move(trayAvailable)),
      menuBarIsDark_(std::move(menuBarIsDark))
{
    if (image_.isNull() || imageWhite_.isNull()) {
        tell("the tray icon images are missing from the program; a plain moon stands in for them.");
        image_ = drawnIcon(Qt::black);
        imageWhite_ = drawnIcon(Qt::white);
    }
    if (!menuBarIsDark_)
        menuBarIsDark_ = [this] { return trayIsDark(statusBar_.kind()); };
    if (!trayAvailable_)
        trayAvailable_ = [this] { return statusBar_.isAvailable(); };

    statusBar_.setToolTip(QStringLiteral("Lunaveil"));
    // Every press on the item is a click: of two quick presses Qt reports the second as a double click.
    connect(&statusBar_, &TrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason, std::optional<QPoint> where) {
                if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
                    return;
                clickedAt_ = where;
                mouseDown();
            });
    drawItem();
    trayFound_ = trayAvailable_();
    statusBar_.show();

    anchorWait_.setInterval(50);
    connect(&anchorWait_, &QTimer::timeout, this, &PopupSystem::waitForAnchor);
    trayCheck_.setInterval(trayCheckIntervalMs);
    connect(&trayCheck_, &QTimer::timeout, this, &PopupSystem::checkForTray);
    if (!trayFound_) {
        tell("no system tray is running, so Lunaveil opens its window now; its icon appears once a tray runs.");
        trayCheck_.start();
        QTimer::singleShot(0, this, [this] { onOpenWithoutTray ? onOpenWithoutTray() : showPopover(); });
    }
}

PopupSystem::~PopupSystem()
{
    endClosingClick();
    if (popoverPrepared_)
        viewController_.view()->removeEventFilter(this);
}

void PopupSystem::showPopover()
{
    if (const auto callback = onWillShowPopover)
        callback();
    if (active_)
        return;
    // The view, and everything in it, is built when the popover first opens.
    QWidget& popover = *viewController_.view();
    if (!std::exchange(popoverPrepared_, true))
        popover.installEventFilter(this);

    // A popup closes at the first click elsewhere; without a tray that would leave no way back to
    // it, so it is then an ordinary window.
    const Qt::WindowFlags flags = trayFound_ && !onWayland() ? Qt::Popup | Qt::FramelessWindowHint : Qt::Window;
    if (popover.windowFlags() != flags)
        popover.setWindowFlags(flags);
    popover.setWindowTitle(QStringLiteral("Lunaveil"));
    placePopover(popover);
    if (onWayland())
        popover.setFixedSize(popover.size());  // a window of fixed size floats

    active_ = true;
    drawItem();
    popover.show();
    popover.raise();
    popover.activateWindow();
}

void PopupSystem::hidePopover()
{
    if (!active_)
        return;
    active_ = false;
    drawItem();
    viewController_.view()->hide();
}

void PopupSystem::mouseDown()
{
    if (active_) {
        hidePopover();
        return;
    }
    const bool sameClick = closedByClick_.isValid() && closedByClick_.elapsed() < sameClickMs;
    endClosingClick();
    if (!sameClick)
        showPopover();
}

void PopupSystem::showPopoverService()
{
    itemShown_ = true;
    statusBar_.show();
}

void PopupSystem::hidePopoverService()
{
    itemShown_ = false;
    statusBar_.hide();
}

const QIcon& PopupSystem::highlightedImage()
{
    if (highlighted_.isNull()) {
        QPixmap pixmap(iconSide, iconSide);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QGuiApplication::palette().color(QPalette::Highlight));
        painter.drawRoundedRect(QRectF(0, 0, iconSide, iconSide), 8, 8);
        // The icon fills 15 of the item's 22 points.
        const int side = iconSide * 15 / 22;
        const int margin = (iconSide - side) / 2;
        imageWhite_.paint(&painter, QRect(margin, margin, side, side));
        painter.end();
        highlighted_ = QIcon(pixmap);
    }
    return highlighted_;
}

QPoint PopupSystem::popoverPosition(const QRect& anchor, QSize popover, const QRect& available)
{
    int x = anchor.x() + (anchor.width() - popover.width()) / 2;
    int y = anchor.bottom() + 1;
    if (y + popover.height() > available.bottom() + 1 && anchor.top() - popover.height() >= available.top())
        y = anchor.top() - popover.height();
    x = std::max(available.left(), std::min(x, available.right() + 1 - popover.width()));
    y = std::max(available.top(), std::min(y, available.bottom() + 1 - popover.height()));
    return {x, y};
}

bool PopupSystem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewController_.view()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* press = static_cast<QMouseEvent*>(event);
            lastPopoverPress_ = press->timestamp();
            pressOutsideAt_.reset();
            if (!viewController_.view()->rect().contains(press->position().toPoint()))
                pressOutsideAt_ = press->globalPosition().toPoint();
        } else if (event->type() == QEvent::WindowDeactivate && active_ && trayFound_ && onWayland()) {
            // What a click elsewhere is to a pop-up; the icon opens it again.
            hidePopover();
        } else if (event->type() == QEvent::Hide) {
            popoverDidClose();
        } else if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && keepInside_) {
            keepInsideMonitor();
        } else if (event->type() == QEvent::Show && !active_) {
            // Brought back by the window manager (the window without a tray).
            active_ = true;
            drawItem();
        }
    }
    return QObject::eventFilter(watched, event);
}

void PopupSystem::drawItem()
{
    statusBar_.setIcon(active_ ? highlightedImage() : menuBarIsDark_() ? imageWhite_ : image_);
    // The highlight is drawn in the pixels; otherwise the host may draw the symbolic icon its way.
    statusBar_.setIconName(active_ ? QString() : symbolicIconName());
}

void PopupSystem::popoverDidClose()
{
    if (active_) {
        // Closed by itself: a click outside, Escape, or the window manager.
        active_ = false;
        if (QGuiApplication::mouseButtons() != Qt::NoButton) {
            closedByClick_.start();
            closingPress_ = lastPopoverPress_;
            QCoreApplication::instance()->installEventFilter(&releaseWatch_);
            // Qt's xcb platform gives the press that closed a pop-up to no other window of ours.
            if (pressOutsideAt_ && QGuiApplication::platformName() == QLatin1String("xcb"))
                QTimer::singleShot(0, this, [this, at = *pressOutsideAt_] { passOnClosingPress(at); });
        }
        drawItem();
    }
    if (const auto callback = onWillClosePopover)
        callback();
}

// A click on another of Lunaveil's windows (the greetings, help, an alert) closes the popover and
// also does what it would have done there.
void PopupSystem::passOnClosingPress(QPoint at)
{
    QWidget* target = QApplication::widgetAt(at);
    // Windows the window manager keeps only: the tray icon (the X server passes the click on to
    // it) and the overlays bypass it.
    if (target == nullptr || target->window() == viewController_.view()
        || target->window()->windowFlags().testFlag(Qt::BypassWindowManagerHint))
        return;
    QWindow* window = target->window()->windowHandle();
    if (window == nullptr)
        return;
    const QPointF local = window->mapFromGlobal(at);
    const auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        QCoreApplication::postEvent(window, new QMouseEvent(type, local, local, QPointF(at), Qt::LeftButton, buttons,
                                                            QGuiApplication::keyboardModifiers()));
    };
    // The whole click: its own release went to the pop-up while it still held the pointer, or
    // comes to a window that saw no press and so does nothing with it.
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
}

void PopupSystem::endClosingClick()
{
    closedByClick_.invalidate();
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(&releaseWatch_);
}

bool PopupSystem::ReleaseWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonPress)
        if (event->type() == QEvent::MouseButtonRelease
        || (event->type() == QEvent::MouseButtonPress
            && static_cast<QInputEvent*>(event)->timestamp() != owner_.closingPress_))
        owner_.endClosingClick();
    return QObject::eventFilter(watched, event);
}

void PopupSystem::waitForAnchor()
{
    if (!active_ || --anchorWaitsLeft_ <= 0) {
        anchorWait_.stop();
        return;
    }
    const QRect anchor = statusBar_.geometry();
    if (anchor.isEmpty() || anchor == placedAnchor_)
        return;
    placePopover(*viewController_.view());
}

void PopupSystem::checkForTray()
{
    if (!trayAvailable_())
        return;
    trayFound_ = true;
    trayCheck_.stop();
    tell("a system tray now runs; Lunaveil's icon is in it.");
    // Qt puts its icon into a tray that appears by itself where it can; where it has not, the
    // icon is set up again. A StatusNotifierItem registers with a new watcher by itself.
    if (itemShown_ && statusBar_.kind() == TrayIcon::Kind::EmbeddedIcon && statusBar_.geometry().isEmpty()) {
        statusBar_.hide();
        statusBar_.show();
    }
}

void PopupSystem::placePopover(QWidget& popover)
{
    popover.adjustSize();
    QRect anchor = statusBar_.geometry();
    placedAnchor_ = anchor;
    if (anchor.isEmpty() && clickedAt_) {
        // The point clicked stands for the icon around it, as big as panels draw icons.
        constexpr int side = 24;
        anchor = QRect(*clickedAt_ - QPoint(side / 2, side / 2), QSize(side, side));
    } else if (anchor.isEmpty()) {
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    }
    if (trayFound_ && statusBar_.kind() == TrayIcon::Kind::EmbeddedIcon && !anchorWait_.isActive()) {
        anchorWaitsLeft_ = 40;  // two seconds; a StatusNotifierItem host never tells, and that is fine
        anchorWait_.start();
    }
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    // A window's position is its frame's; a pop-up has none.
    const bool framed = !popover.windowFlags().testFlag(Qt::FramelessWindowHint);
    const QMargins frame = framed ? windowFrame_ : QMargins();
    popover.move(popoverPosition(anchor, popover.size().grownBy(frame), screen->availableGeometry()));
    keepInside_ = framed ? std::optional(screen->availableGeometry()) : std::nullopt;
}

// Once the window manager has framed the window, its frame is known: the window is moved back
// inside its monitor should the frame have pushed it out, and the frame is kept for next time.
void PopupSystem::keepInsideMonitor()
{
    QWidget& popover = *viewController_.view();
    const QRect framed = popover.frameGeometry();
    if (framed == popover.geometry())
        return;  // not framed yet
    windowFrame_ = QMargins(popover.geometry().left() - framed.left(), popover.geometry().top() - framed.top(),
                            framed.right() - popover.geometry().right(), framed.bottom() - popover.geometry().bottom());
    const QRect available = *std::exchange(keepInside_, std::nullopt);
    if (!available.contains(framed))
        popover.move(std::clamp(framed.x(), available.left(), std::max(available.left(), available.right() + 1 - framed.width())),
                     std::clamp(framed.y(), available.top(), std::max(available.top(), available.bottom() + 1 - framed.height())));
}

}  // namespace lunaveil
