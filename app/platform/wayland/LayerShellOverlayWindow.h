#pragma once
// One output's tint overlay as a layer-shell surface, filled by a single pixel scaled to the output.

#include "platform/FadingFill.h"
#include "platform/OverlayWindow.h"

#include <cstdint>

struct wl_callback;
struct wl_surface;
struct wp_viewport;
struct zwlr_layer_surface_v1;

namespace lunaveil {

class LayerShellOverlays;

// Shown, it is a surface on the overlay layer anchored to all four edges, moving nothing aside,
// taking no keyboard and, with an empty input region, no pointer either. Fades commit at most one
// frame per frame callback. A surface the compositor closes is made again while it should show.
class LayerShellOverlayWindow final : public OverlayWindow {
public:
    // `overlays` must outlive it.
    LayerShellOverlayWindow(LayerShellOverlays& overlays, std::uint32_t output);
    ~LayerShellOverlayWindow() override;
    LayerShellOverlayWindow(const LayerShellOverlayWindow&) = delete;
    LayerShellOverlayWindow& operator=(const LayerShellOverlayWindow&) = delete;

    void show() override;
    void close() override;
    void setAlphaValue(double alpha) override { fill_.setAlphaValue(alpha); }
    void setBackgroundColor(const Colour& fill) override { fill_.setBackgroundColor(fill); }
    void animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds duration) override
    {
        fill_.animateTo(alpha, fill, duration);
    }

private:
    static void configured(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
                           std::uint32_t height);
    static void closedByCompositor(void* data, zwlr_layer_surface_v1* layer);
    static void frameDone(void* data, wl_callback* callback, std::uint32_t time);
    void makeSurface();
    void destroySurface();
    void paint(FadingFill::Argb shown);
    void commit();

    LayerShellOverlays& overlays_;
    std::uint32_t output_;
    bool shown_ = false;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wl_callback* frame_ = nullptr;  // while the compositor has not drawn the last frame
    std::uint32_t width_ = 0;       // 0 until the compositor configured the surface
    std::uint32_t height_ = 0;
    FadingFill::Argb pixel_ = 0;
    bool dirty_ = false;  // a frame waits for the last one to be drawn
    FadingFill fill_;     // last: its fades end before the surface goes
};

}  // namespace lunaveil
