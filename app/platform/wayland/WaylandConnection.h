#pragma once
// Lunaveil's own connection to the Wayland compositor, beside whatever the toolkit uses.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;
struct wl_display;
struct wl_interface;
struct wl_output;
struct wl_registry;

namespace lunaveil {

// Opened from $WAYLAND_DISPLAY whichever platform plugin Qt runs on. Events are read when the
// socket has some and dispatched on the main thread; requests are flushed before the event loop
// sleeps. Every wl_output is bound (version 4 where offered, for its name).
class WaylandConnection {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    struct Output {
        std::uint32_t global = 0;  // the registry's name for it, which stays while it exists
        wl_output* output = nullptr;
        std::string name;          // "HEADLESS-1", "DP-2"; empty before version 4
    };

    // Null when no compositor answers at $WAYLAND_DISPLAY.
    static std::unique_ptr<WaylandConnection> connect();

    explicit WaylandConnection(Passkey, wl_display* display);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    bool offers(std::string_view interface) const;
    // Binds the first global of `interface` at `version` or lower; null when none is offered.
    void* bind(const wl_interface& interface, std::uint32_t version);
    const std::list<Output>& outputs() const { return outputs_; }
    // Sends what is queued and waits until the compositor has handled it, dispatching its answers.
    bool roundtrip();
    // Whether the compositor still answers; one round trip.
    bool answers() { return roundtrip(); }

    // Called on the main thread after an output was added or removed.
    std::function<void()> onOutputsChanged;
    // Called once when the compositor went away.
    std::function<void()> onConnectionLost;

private:
    struct Global {
        std::uint32_t name;
        std::string interface;
        std::uint32_t version;
    };
    static void announce(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void withdraw(void* data, wl_registry* registry, std::uint32_t name);
    void bindOutput(const Global& global);
    void readEvents();
    void flush();
    void lost();

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    std::vector<Global> globals_;
    std::list<Output> outputs_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool lossAnnounced_ = false;
};

}  // namespace lunaveil
