#include "platform/wayland/LayerShellOverlays.h"

#include "platform/wayland/LayerShellOverlayWindow.h"
#include "platform/wayland/LayerShellProtocol.h"
#include "viewporter-client-protocol.h"

#include <algorithm>
#include <wayland-client.h>

namespace lunaveil {

bool LayerShellOverlays::offeredBy(const WaylandConnection& connection)
{
    return connection.offers(wl_compositor_interface.name) && connection.offers(wl_shm_interface.name)
        && connection.offers(wp_viewporter_interface.name) && connection.offers(zwlr_layer_shell_v1_interface.name);
}

std::unique_ptr<LayerShellOverlays> LayerShellOverlays::create(WaylandConnection& connection)
{
    if (!offeredBy(connection))
        return nullptr;
    Globals globals;
    // Version 4 of the compositor brought damage in buffer coordinates.
    globals.compositor = static_cast<wl_compositor*>(connection.bind(wl_compositor_interface, 4));
    globals.shm = static_cast<wl_shm*>(connection.bind(wl_shm_interface, 1));
    globals.viewporter = static_cast<wp_viewporter*>(connection.bind(wp_viewporter_interface, 1));
    globals.layerShell = static_cast<zwlr_layer_shell_v1*>(connection.bind(zwlr_layer_shell_v1_interface, 1));
    return std::make_unique<LayerShellOverlays>(connection, globals);
}

LayerShellOverlays::LayerShellOverlays(WaylandConnection& connection, Globals globals)
    : connection_(connection), globals_(globals)
{
}

LayerShellOverlays::~LayerShellOverlays()
{
    zwlr_layer_shell_v1_destroy(globals_.layerShell);
    wp_viewporter_destroy(globals_.viewporter);
    wl_shm_destroy(globals_.shm);
    wl_compositor_destroy(globals_.compositor);
}

std::optional<int> LayerShellOverlays::screenCount() const
{
    return static_cast<int>(connection_.outputs().size());
}

std::vector<std::unique_ptr<OverlayWindow>> LayerShellOverlays::createWindows()
{
    std::vector<std::unique_ptr<OverlayWindow>> windows;
    for (const WaylandConnection::Output& output : connection_.outputs())
        windows.push_back(std::make_unique<LayerShellOverlayWindow>(*this, output.global));
    return windows;
}

void LayerShellOverlays::outputsChanged()
{
    if (const auto callback = onScreensChanged)
        callback();
}

wl_output* LayerShellOverlays::output(std::uint32_t global) const
{
    const auto& outputs = connection_.outputs();
    const auto found = std::ranges::find(outputs, global, &WaylandConnection::Output::global);
    return found != outputs.end() ? found->output : nullptr;
}

}  // namespace lunaveil
