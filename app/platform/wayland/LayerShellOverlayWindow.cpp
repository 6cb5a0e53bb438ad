#include "platform/wayland/LayerShellOverlayWindow.h"

#include "platform/UniqueFd.h"
#include "platform/wayland/LayerShellOverlays.h"
#include "platform/wayland/LayerShellProtocol.h"
#include "viewporter-client-protocol.h"

#include <QLoggingCategory>

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace lunaveil {
namespace {

Q_LOGGING_CATEGORY(lcOverlay, "lunaveil.overlay")

constexpr char layerNamespace[] = "lunaveil-tint";

// wl_shm's ARGB8888 is premultiplied, little-endian: one pixel is the 32-bit value itself.
std::uint32_t premultiplied(FadingFill::Argb argb)
{
    const std::uint32_t alpha = argb >> 24;
    const auto channel = [alpha](std::uint32_t value) { return (value * alpha + 127) / 255; };
    return alpha << 24 | channel(argb >> 16 & 0xff) << 16 | channel(argb >> 8 & 0xff) << 8 | channel(argb & 0xff);
}

// A buffer the compositor gives back is destroyed then; none is reused.
void released(void*, wl_buffer* buffer)
{
    wl_buffer_destroy(buffer);
}
constexpr wl_buffer_listener bufferListener{released};

wl_buffer* onePixel(wl_shm* shm, std::uint32_t pixel)
{
    const UniqueFd file(::memfd_create("lunaveil-overlay", MFD_CLOEXEC));
    if (!file || ::write(file.get(), &pixel, sizeof pixel) != sizeof pixel)
        return nullptr;
    wl_shm_pool* pool = wl_shm_create_pool(shm, file.get(), sizeof pixel);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, 1, 1, sizeof pixel, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    wl_buffer_add_listener(buffer, &bufferListener, nullptr);
    return buffer;
}

}  // namespace

LayerShellOverlayWindow::LayerShellOverlayWindow(LayerShellOverlays& overlays, std::uint32_t output)
    : overlays_(overlays), output_(output), fill_([this](FadingFill::Argb shown) { paint(shown); })
{
}

LayerShellOverlayWindow::~LayerShellOverlayWindow()
{
    destroySurface();
}

void LayerShellOverlayWindow::show()
{
    shown_ = true;
    if (layer_ == nullptr)
        makeSurface();
}

void LayerShellOverlayWindow::close()
{
    shown_ = false;
    destroySurface();
}

void LayerShellOverlayWindow::makeSurface()
{
    static constexpr zwlr_layer_surface_v1_listener layerListener{&LayerShellOverlayWindow::configured,
                                                                  &LayerShellOverlayWindow::closedByCompositor};
    wl_output* output = overlays_.output(output_);
    if (output == nullptr)
        return;  // gone: the overlays are made anew for the outputs there are
    const LayerShellOverlays::Globals& globals = overlays_.globals();
    surface_ = wl_compositor_create_surface(globals.compositor);
    // An empty input region: every click goes to what is under the tint.
    wl_region* nothing = wl_compositor_create_region(globals.compositor);
    wl_surface_set_input_region(surface_, nothing);
    wl_region_destroy(nothing);
    viewport_ = wp_viewporter_get_viewport(globals.viewporter, surface_);
    layer_ = zwlr_layer_shell_v1_get_layer_surface(globals.layerShell, surface_, output,
                                                   ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, layerNamespace);
    zwlr_layer_surface_v1_add_listener(layer_, &layerListener, this);
    zwlr_layer_surface_v1_set_anchor(layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM
                                                 | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT
                                                 | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, 0);
    // The first commit carries no buffer: the compositor answers with the size to fill.
    wl_surface_commit(surface_);
}

void LayerShellOverlayWindow::destroySurface()
{
    if (frame_ != nullptr)
        wl_callback_destroy(std::exchange(frame_, nullptr));
    if (layer_ != nullptr)
        zwlr_layer_surface_v1_destroy(std::exchange(layer_, nullptr));
    if (viewport_ != nullptr)
        wp_viewport_destroy(std::exchange(viewport_, nullptr));
    if (surface_ != nullptr)
        wl_surface_destroy(std::exchange(surface_, nullptr));
    width_ = height_ = 0;
    dirty_ = false;
}

void LayerShellOverlayWindow::configured(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial,
                                         std::uint32_t width, std::uint32_t height)
{
    auto& self = *static_cast<LayerShellOverlayWindow*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    qCDebug(lcOverlay, "the compositor gave the overlay of output %u %ux%u", self.output_, width, height);
    self.width_ = width;
    self.height_ = height;
    self.commit();
}

void LayerShellOverlayWindow::closedByCompositor(void* data, zwlr_layer_surface_v1*)
{
    auto& self = *static_cast<LayerShellOverlayWindow*>(data);
    self.destroySurface();
    if (self.shown_)
        self.makeSurface();
}

void LayerShellOverlayWindow::frameDone(void* data, wl_callback* callback, std::uint32_t)
{
    auto& self = *static_cast<LayerShellOverlayWindow*>(data);
    wl_callback_destroy(callback);
    self.frame_ = nullptr;
    if (std::exchange(self.dirty_, false))
        self.commit();
}

void LayerShellOverlayWindow::paint(FadingFill::Argb shown)
{
    pixel_ = premultiplied(shown);
    commit();
}

void LayerShellOverlayWindow::commit()
{
    static constexpr wl_callback_listener frameListener{&LayerShellOverlayWindow::frameDone};
    if (surface_ == nullptr || width_ == 0 || height_ == 0)
        return;  // drawn once the compositor has configured the surface
    if (frame_ != nullptr) {
        dirty_ = true;  // the compositor has not drawn the last frame yet
        return;
    }
    wl_buffer* buffer = onePixel(overlays_.globals().shm, pixel_);
    if (buffer == nullptr)
        return;
    wl_surface_attach(surface_, buffer, 0, 0);
    wl_surface_damage_buffer(surface_, 0, 0, 1, 1);
    wp_viewport_set_destination(viewport_, static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_));
    frame_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frame_, &frameListener, this);
    wl_surface_commit(surface_);
}

}  // namespace lunaveil
