#include "platform/FadingFill.h"

#include <algorithm>
#include <cmath>

namespace lunaveil {
namespace {

// Out-of-range and NaN inputs give the nearest sound value.
double unit(double value)
{
    return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
}

FadingFill::Argb toByte(double unitValue)
{
    return static_cast<FadingFill::Argb>(std::lround(unit(unitValue) * 255.0));
}

}  // namespace

FadingFill::FadingFill(std::function<void(Argb shown)> paint) : paint_(std::move(paint))
{
    // Qt's animation timer gives some 30 frames to half a second. The pace stays linear: an eased
    // fade of a faint tint spends its first and last frames on changes no 8-bit pixel shows.
    QObject::connect(&alphaFade_, &QVariantAnimation::valueChanged, &alphaFade_,
                     [this](const QVariant& value) { applyAlpha(value.toDouble()); });
    QObject::connect(&fillFade_, &QVariantAnimation::valueChanged, &fillFade_, [this](const QVariant& value) {
        const double t = value.toDouble();
        const auto mix = [t](double from, double to) { return from + (to - from) * t; };
        applyFill({mix(fadeFrom_.red, fadeTo_.red), mix(fadeFrom_.green, fadeTo_.green),
                   mix(fadeFrom_.blue, fadeTo_.blue), mix(fadeFrom_.alpha, fadeTo_.alpha)});
    });
    // Interpolation can miss the end by a rounding error; a finished fade lands on it exactly.
    QObject::connect(&alphaFade_, &QAbstractAnimation::finished, &alphaFade_,
                     [this] { applyAlpha(alphaFade_.endValue().toDouble()); });
    QObject::connect(&fillFade_, &QAbstractAnimation::finished, &fillFade_, [this] { applyFill(fadeTo_); });
}

void FadingFill::setAlphaValue(double alpha)
{
    alphaFade_.stop();
    applyAlpha(unit(alpha));
}

void FadingFill::setBackgroundColor(const Colour& fill)
{
    fillFade_.stop();
    fill_ = fill;
    applyFill(rgbaOf(fill));
}

void FadingFill::animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds duration)
{
    const int milliseconds = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(duration.count(), 0, 600'000));
    const double targetAlpha = unit(alpha);

    alphaFade_.stop();
    if (milliseconds == 0 || targetAlpha == alpha_) {
        applyAlpha(targetAlpha);
    } else {
        alphaFade_.setDuration(milliseconds);
        alphaFade_.setStartValue(alpha_);
        alphaFade_.setEndValue(targetAlpha);
        alphaFade_.start();
    }

    if (!fill)
        return;
    fillFade_.stop();
    fill_ = *fill;
    fadeFrom_ = shownFill_;
    fadeTo_ = rgbaOf(*fill);
    if (milliseconds == 0) {
        applyFill(fadeTo_);
        return;
    }
    fillFade_.setDuration(milliseconds);
    fillFade_.setStartValue(0.0);
    fillFade_.setEndValue(1.0);
    fillFade_.start();
}

bool FadingFill::isFading() const
{
    return alphaFade_.state() == QAbstractAnimation::Running || fillFade_.state() == QAbstractAnimation::Running;
}

FadingFill::Argb FadingFill::shown() const
{
    return toByte(shownFill_.alpha * alpha_) << 24 | toByte(shownFill_.red) << 16 | toByte(shownFill_.green) << 8
        | toByte(shownFill_.blue);
}

FadingFill::Rgba FadingFill::rgbaOf(const Colour& colour)
{
    const Rgb rgb = colour.toRgb();
    return {unit(rgb.red), unit(rgb.green), unit(rgb.blue), unit(colour.alpha())};
}

void FadingFill::applyAlpha(double alpha)
{
    alpha_ = alpha;
    paint_(shown());
}

void FadingFill::applyFill(const Rgba& shown)
{
    shownFill_ = shown;
    paint_(this->shown());
}

}  // namespace lunaveil
