#pragma once
// Tells whether a compositing manager runs on the X screen, and when one starts or stops.

#include "platform/Compositor.h"

#include <cstdint>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;

namespace lunaveil {

// Translucent windows only blend while a compositing manager owns the screen's
// _NET_WM_CM_S<n> selection; without one the tint has to go through the display's gamma.
// Works on a private XCB connection and learns of owner changes through XFixes.
class CompositorWatch final : public Compositor {
public:
    // Watches `displayName` ($DISPLAY when null). Without an X display isActive() stays
    // false and the reason is logged once. onChanged needs a QCoreApplication and runs on
    // the thread that built this object.
    explicit CompositorWatch(const char* displayName = nullptr);
    ~CompositorWatch() override;

    CompositorWatch(const CompositorWatch&) = delete;
    CompositorWatch& operator=(const CompositorWatch&) = delete;

    // onChanged is called at most once per event-loop pass.
    bool isActive() const override { return active_; }

private:
    struct Disconnect {
        void operator()(xcb_connection_t* connection) const;
    };

    void readEvents();

    std::unique_ptr<xcb_connection_t, Disconnect> connection_;
    std::uint8_t xfixesFirstEvent_ = 0;
    std::uint32_t selection_ = 0;  // the _NET_WM_CM_S<n> atom
    // Also the context of the queued first read, so it never runs after this object is gone.
    std::unique_ptr<QSocketNotifier> notifier_;
    bool active_ = false;
};

}  // namespace lunaveil
