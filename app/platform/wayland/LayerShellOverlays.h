#pragma once
// The tint overlays of a wlroots compositor: one layer-shell surface per output, on the overlay
// layer, covering it whole and letting every click through.

#include "platform/OverlayWindow.h"
#include "platform/wayland/WaylandConnection.h"

#include <cstdint>
#include <memory>

struct wl_compositor;
struct wl_shm;
struct wp_viewporter;
struct zwlr_layer_shell_v1;

namespace lunaveil {

class LayerShellOverlays final : public OverlayScreens {
public:
    struct Globals {
        wl_compositor* compositor = nullptr;
        wl_shm* shm = nullptr;
        wp_viewporter* viewporter = nullptr;
        zwlr_layer_shell_v1* layerShell = nullptr;
    };

    // Whether the compositor offers all that the overlays need.
    static bool offeredBy(const WaylandConnection& connection);
    // Null unless offeredBy(connection); `connection` must outlive it and every window it makes.
    static std::unique_ptr<LayerShellOverlays> create(WaylandConnection& connection);

    LayerShellOverlays(WaylandConnection& connection, Globals globals);
    ~LayerShellOverlays() override;
    LayerShellOverlays(const LayerShellOverlays&) = delete;
    LayerShellOverlays& operator=(const LayerShellOverlays&) = delete;

    std::optional<int> screenCount() const override;
    std::vector<std::unique_ptr<OverlayWindow>> createWindows() override;
    // To be called when outputs come or go.
    void outputsChanged();

    WaylandConnection& connection() const { return connection_; }
    const Globals& globals() const { return globals_; }
    // The output of that registry name, or null once it is gone.
    wl_output* output(std::uint32_t global) const;

private:
    WaylandConnection& connection_;
    Globals globals_;
};

}  // namespace lunaveil
