#pragma once
// One screen's tint overlay, and the screens that get one; the overlay service drives both.

#include "common/Colour.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lunaveil {

// A borderless, topmost, click-through window covering one whole screen. What it shows is its
// fill colour (with the fill's own alpha) at the window's alpha value: 0 hidden, 1 shown.
class OverlayWindow {
public:
    virtual ~OverlayWindow() = default;
    // Puts the window on screen above everything, with its current alpha value and fill.
    virtual void show() = 0;
    // Takes the window off the screen at once; it can be shown again.
    virtual void close() = 0;
    // At once, ending any fade of that property.
    virtual void setAlphaValue(double alpha) = 0;
    virtual void setBackgroundColor(const Colour& fill) = 0;
    // Fades from the current values to these over `duration`; an absent fill keeps the current one.
    virtual void animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds duration) = 0;
};

class OverlayScreens {
public:
    virtual ~OverlayScreens() = default;
    // Empty when the screen list cannot be read.
    virtual std::optional<int> screenCount() const = 0;
    // One hidden window (alpha 0) per current screen, in the screens' order.
    virtual std::vector<std::unique_ptr<OverlayWindow>> createWindows() = 0;

    // Called on the main thread when a screen is added or removed or changes its geometry.
    std::function<void()> onScreensChanged;
};

}  // namespace lunaveil
