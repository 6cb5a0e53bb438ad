#pragma once
// Keeps Lunaveil's overlay windows above every other window of the X11 desktop.

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QTimer>
#include <qwindowdefs.h>  // WId

#include <cstdint>
#include <memory>
#include <vector>

namespace lunaveil {

// Override-redirect windows are stacked by nobody but their client, so a menu, a tooltip or a
// window the window manager raises can end up above the tint. The guard watches the stacking
// of the root window's children (SubstructureNotify, through Qt's own X connection) and raises
// its windows again when another window goes above one of them. It costs nothing while no
// window changes. All overlay windows of a display share one guard: two guards would raise
// their windows over each other's.
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

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    enum class Check { Verify, Raise };

    void watchRoot(bool watch);
    void scheduleCheck(Check check);
    void runCheck();
    bool anotherWindowIsAbove() const;
    void raiseAll();
    bool isGuarded(std::uint32_t window) const;

    std::vector<std::uint32_t> windows_;
    std::uint32_t root_ = 0;  // of the first window guarded; every overlay is on the same X screen
    Check pendingCheck_ = Check::Verify;
    QTimer raiseTimer_;
    QElapsedTimer sinceRaise_;
};

}  // namespace lunaveil
