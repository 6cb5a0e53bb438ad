#pragma once
// What a tint overlay shows as it fades: a fill colour at an alpha value, each fading on its own.

#include "common/Colour.h"

#include <QVariantAnimation>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace lunaveil {

// The overlay windows of every platform share it, so that they fade alike. `paint` is called with
// the colour to show whenever it changes; finished fades cost nothing.
class FadingFill {
public:
    // 0xAARRGGBB with alpha = fill alpha × alpha value, not premultiplied (Qt's QRgb).
    using Argb = std::uint32_t;

    explicit FadingFill(std::function<void(Argb shown)> paint);
    FadingFill(const FadingFill&) = delete;
    FadingFill& operator=(const FadingFill&) = delete;

    // At once, ending any fade of that property.
    void setAlphaValue(double alpha);
    void setBackgroundColor(const Colour& fill);
    // Fades from the current values to these over `duration`; an absent fill keeps the current one.
    void animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds duration);

    // The alpha value shown now (part way through a fade while one runs).
    double alphaValue() const { return alpha_; }
    // The fill last set, or the one a running fade of it ends at.
    Colour backgroundColor() const { return fill_; }
    bool isFading() const;
    // What is shown now.
    Argb shown() const;

private:
    struct Rgba {
        double red = 0.0;
        double green = 0.0;
        double blue = 0.0;
        double alpha = 0.0;
    };
    static Rgba rgbaOf(const Colour& colour);
    void applyAlpha(double alpha);
    void applyFill(const Rgba& shown);

    std::function<void(Argb)> paint_;
    double alpha_ = 0.0;
    Colour fill_;
    Rgba shownFill_;  // differs from fill_ while the fill fades
    Rgba fadeFrom_;
    Rgba fadeTo_;
    QVariantAnimation alphaFade_;
    QVariantAnimation fillFade_;
};

}  // namespace lunaveil
