#pragma once
// Lunaveil's tray item: the icon in the panel that opens and closes the popover under it.

#include <QElapsedTimer>
#include <QIcon>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>

#include "ui/TrayIcon.h"

#include <functional>
#include <optional>

class QWidget;

namespace lunaveil {

class PopoverViewController;

// The icon is a TrayIcon (a StatusNotifierItem where a host runs, else XEmbed). The popover is the
// view controller's view as a frameless Qt::Popup under the icon, or by the point clicked where
// the tray gives no geometry; like any popup it closes on a click outside it, and the item then
// counts as closed. With Qt on Wayland, where a pop-up cannot be placed, it is a small window of
// fixed size that the compositor floats, closed as soon as it loses the focus. Where no tray runs at all, the popover opens by itself as an ordinary window
// and the item keeps looking for a tray, so that Lunaveil stays within reach.
class PopupSystem : public QObject {
    Q_OBJECT
public:
    using Test = std::function<bool()>;

    // image: for a light panel; imageWhite: for a dark panel and while the popover is open.
    // trayAvailable and menuBarIsDark are the tray and dark-panel tests, asked afresh at each use;
    // without them the tray icon and trayIsDark are asked.
    PopupSystem(PopoverViewController& viewController, QIcon image, QIcon imageWhite, Test trayAvailable = nullptr,
                Test menuBarIsDark = nullptr, TrayIcon::Kind trayKind = TrayIcon::chosenKind());
    ~PopupSystem() override;

    // Fired at the start of every show request, also while the popover is open.
    std::function<void()> onWillShowPopover;
    // Fired whenever the popover closes, by a hide request or by itself.
    std::function<void()> onWillClosePopover;
    // Where no tray runs, called once the event loop runs to open the popover by itself; unset,
    // the popover opens at once.
    std::function<void()> onOpenWithoutTray;

    // Opens the popover if it is closed; fires onWillShowPopover in any case.
    void showPopover();
    // Closes the popover if it is open; does nothing otherwise.
    void hidePopover();
    // A click on the item: closes the popover when open, else opens it.
    void mouseDown();
    // Shows the item in the tray again, or takes it out so it takes no room there.
    void showPopoverService();
    void hidePopoverService();

    bool isActive() const { return active_; }
    TrayIcon& statusItem() { return statusBar_; }
    // The icon shown while the popover is open: imageWhite on the panel's highlight colour.
    const QIcon& highlightedImage();

    // Where the popover's top-left corner goes: centred under anchor, or above it where there is
    // no room below, and kept inside available.
    static QPoint popoverPosition(const QRect& anchor, QSize popover, const QRect& available);

    // The dark-panel test without one given: the colours an XEmbed tray asks its icons to be drawn
    // in where it says them, else the desktop's colour scheme.
    static bool trayIsDark(TrayIcon::Kind kind);
    // The tray icon's theme name, for hosts that recolour symbolic icons to suit their panel.
    static QString symbolicIconName() { return QStringLiteral("com.quorvex.Lunaveil-symbolic"); }

    // How often a missing tray is looked for.
    static constexpr int trayCheckIntervalMs = 3000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void drawItem();
    void popoverDidClose();
    void checkForTray();
    void placePopover(QWidget& popover);
    void waitForAnchor();
    void endClosingClick();
    void passOnClosingPress(QPoint at);
    void keepInsideMonitor();

    // Watches the whole application for the end of the click that closed the popover: its
    // release, or a press of another click should the release never arrive.
    class ReleaseWatch final : public QObject {
    public:
        explicit ReleaseWatch(PopupSystem& owner) : owner_(owner) {}

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override;

    private:
        PopupSystem& owner_;
    };

    PopoverViewController& viewController_;
    TrayIcon statusBar_;
    QIcon image_;
    QIcon imageWhite_;
    QIcon highlighted_;
    Test trayAvailable_;
    Test menuBarIsDark_;
    QTimer trayCheck_;
    // While an XEmbed icon is still being embedded its geometry is empty or not yet where the
    // tray puts it; for a moment after opening, the popover follows the icon to its place.
    QTimer anchorWait_;
    int anchorWaitsLeft_ = 0;
    QRect placedAnchor_;
    // Where the icon was last clicked, when the panel said it.
    std::optional<QPoint> clickedAt_;
    // When a click outside closed the popover; the same click may still reach the item until its
    // button comes up. An XEmbed tray never passes it on, so a later press is a click of its own.
    // Presses are told apart by their timestamps: a passed-on press keeps the one it had.
    QElapsedTimer closedByClick_;
    ulong lastPopoverPress_ = 0;
    ulong closingPress_ = 0;
    // Where the last press the popover saw fell outside it, as it closes the popover.
    std::optional<QPoint> pressOutsideAt_;
    // The window manager's frame around the window without a tray, known once it has been shown,
    // and the area of the monitor the window is to stay inside once its frame is known.
    QMargins windowFrame_;
    std::optional<QRect> keepInside_;
    ReleaseWatch releaseWatch_{*this};
    bool active_ = false;
    bool itemShown_ = true;
    bool trayFound_ = false;
    bool popoverPrepared_ = false;
};

}  // namespace lunaveil
