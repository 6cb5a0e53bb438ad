#pragma once
// Keeps Lunaveil's overlay windows above every other window of the X11 desktop but Lunaveil's own.

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QTimer>
#include <qwindowdefs.h>  // WId

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QWindow;

namespace lunaveil {

// Override-redirect windows are stacked by nobody but their client, so a menu, a tooltip or a
// window the window manager raises can end up above the tint. The guard watches the stacking
// of the root window's children (SubstructureNotify, through Qt's own X connection) and raises
// its windows again when another window goes above one of them. It costs nothing while no
// window changes. All overlay windows of a display share one guard: two guards would raise
// their windows over each other's. Lunaveil's own windows (its popover and the windows it
// opens) may stand above the overlays, so that the tint never hides the control that turns it
// down; any other window goes beneath them.
class X11StackingGuard final : public QAbstractNativeEventFilter {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // Null unless the application runs on X11 (Qt's xcb platform).
    static std::shared_ptr<X11StackingGuard> create();

    explicit X11StackingGuard(Passkey);
    ~X11StackingGuard() override;

    X11StackingGuard(const X11StackingGuard&) = delete;
    X11StackingGuard& operator=(const X11StackingGuard&) = delete;

    // Raises the window now, and whenever another window goes above it until released.
    void guard(WId window);
    void release(WId window);
    // Lunaveil's own windows, asked at each check, that may stay above the guarded ones. A window
    // counts by its frame where the window manager framed it; one embedded elsewhere (the tray
    // icon) does not count.
    void setWindowsAbove(std::function<std::vector<QWindow*>()> windows) { windowsAbove_ = std::move(windows); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void watchRoot(bool watch);
    void scheduleCheck();
    void runCheck();
    std::vector<std::uint32_t> rootChildrenAbove() const;
    void restackAbove(std::uint32_t sibling, const std::vector<std::uint32_t>& raised);
    bool isGuarded(std::uint32_t window) const;

    std::vector<std::uint32_t> windows_;
    std::uint32_t root_ = 0;  // of the first window guarded; every overlay is on the same X screen
    std::function<std::vector<QWindow*>()> windowsAbove_;
    QTimer raiseTimer_;
    QElapsedTimer sinceRaise_;
};

}  // namespace lunaveil
