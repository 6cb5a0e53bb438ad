#pragma once
// The display's gamma ramps through XRandR, on a private XCB connection of its own.

#include "platform/x11/CrtcGamma.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <xcb/xcb.h>

class QSocketNotifier;

namespace lunaveil {

class RandrCrtcs final : public CrtcGamma {
    struct Passkey {
        explicit Passkey() = default;
    };

    struct Disconnect {
        void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
    };
    using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

public:
    // Connects to `displayName` ($DISPLAY when null). Null when no X server answers (the caller
    // says what that means) or it lacks RandR 1.2 (no gamma ramps, which is logged). The two
    // callbacks need a QCoreApplication and run on its thread; without one the ramps still work.
    static std::unique_ptr<RandrCrtcs> create(const char* displayName = nullptr);

    // The server `displayName` ($DISPLAY when null) names, as host and display number without
    // the screen: ":61", "unix:61" and ":61.0" all give "61", "host:10.0" gives "host:10";
    // empty when it is no display name.
    static std::string canonicalDisplayName(const char* displayName = nullptr);

    RandrCrtcs(Passkey, Connection connection, xcb_window_t root, std::uint8_t randrFirstEvent,
                    bool hasCurrentResources);
    ~RandrCrtcs() override;

    RandrCrtcs(const RandrCrtcs&) = delete;
    RandrCrtcs& operator=(const RandrCrtcs&) = delete;

    std::vector<GammaOutput> crtcs() override;
    std::optional<GammaRamp> getRamp(CrtcId crtc) override;
    // One round trip for all of them, where one a CRTC would wake Lunaveil and the server each time.
    std::vector<std::optional<GammaRamp>> getRamps(std::span<const CrtcId> crtcs) override;
    bool setRamp(CrtcId crtc, const GammaRamp& ramp) override;
    // Sends every request, then waits once: one round trip however many CRTCs.
    std::vector<bool> setRamps(std::span<const RampFor> ramps) override;
    // A property of the root window, which lives exactly as long as the server.
    std::string serverMark(bool create) override;

    // Whether the server is XWayland (its outputs are named XWAYLAND0, XWAYLAND1, ...): it accepts
    // and reads back gamma ramps, but none of them reaches a screen. One round trip.
    bool isXWayland();

    // Called once when the X connection broke (the server went away). From then on no CRTC
    // is listed and every ramp is refused; only a new object can reach a new server.
    std::function<void()> onConnectionLost;
    // Whether the server still answers this connection (it may outlive the toolkit's own); one round trip.
    bool serverAnswers();

private:
    std::vector<CrtcId> allCrtcs();
    std::string readServerMark(xcb_atom_t property);
    void readEvents();
    void takeQueuedEvents();
    bool isLayoutChange(const xcb_generic_event_t& event) const;
    void announceChange();
    bool connectionAlive();

    Connection connection_;
    xcb_window_t root_;
    std::uint8_t randrFirstEvent_;
    bool hasCurrentResources_;
    // Also the context of queued announcements, so none runs after this object is gone.
    std::unique_ptr<QSocketNotifier> notifier_;
    std::optional<std::vector<GammaOutput>> knownCrtcs_;  // the layout, until RandR says it changed
    bool changeAnnounced_ = false;
    bool lossAnnounced_ = false;
};

}  // namespace lunaveil
