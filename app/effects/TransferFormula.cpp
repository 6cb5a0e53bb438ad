#include "TransferFormula.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace lunaveil {
namespace {

// Into 0..1; NaN becomes 0 so that no absurd opacity reaches a display as garbage.
float unitClamp(float v)
{
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

double unitClamp(double v)
{
    return v > 0.0 ? (v < 1.0 ? v : 1.0) : 0.0;
}

std::uint16_t toRampValue(double v)
{
    return static_cast<std::uint16_t>(std::lround(unitClamp(v) * 65535.0));
}

// Entry i of n sits at input i / (n - 1); a single entry sits at 0.
double position(std::size_t i, std::size_t n)
{
    return n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
}

// The table's value at fractional index `at`, linearly between the entries around it.
template <typename Entry>
double between(std::span<const Entry> table, double at)
{
    const std::size_t last = table.size() - 1;
    const std::size_t below = std::min(static_cast<std::size_t>(at), last);
    const std::size_t above = std::min(below + 1, last);
    const double fraction = at - static_cast<double>(below);
    return table[below] + (double(table[above]) - table[below]) * fraction;
}

std::uint16_t formulaValue(double v, float min, float max, float gamma)
{
    return toRampValue(min + (double(max) - min) * std::pow(v, double(gamma)));
}

std::vector<std::uint16_t> channelFromFormula(std::size_t size, float min, float max, float gamma)
{
    std::vector<std::uint16_t> channel(size);
    for (std::size_t i = 0; i < size; ++i)
        channel[i] = formulaValue(position(i, size), min, max, gamma);
    return channel;
}

std::vector<std::uint16_t> channelOverCalibration(std::size_t size, std::span<const std::uint16_t> calibration,
                                                  float min, float max, float gamma)
{
    if (calibration.empty())
        return channelFromFormula(size, min, max, gamma);
    std::vector<std::uint16_t> channel(size);
    const std::size_t last = calibration.size() - 1;
    for (std::size_t i = 0; i < size; ++i) {
        // Whole numbers divided: at the calibration's own size every entry meets its own exactly.
        const double at = size > 1 ? static_cast<double>(i * last) / static_cast<double>(size - 1) : 0.0;
        channel[i] = formulaValue(between(calibration, at) / 65535.0, min, max, gamma);
    }
    return channel;
}

std::vector<std::uint16_t> channelFromTable(std::size_t size, std::span<const float> table)
{
    if (table.empty())
        table = straightTable;
    std::vector<std::uint16_t> channel(size);
    const std::size_t last = table.size() - 1;
    for (std::size_t i = 0; i < size; ++i)
        channel[i] = toRampValue(between(table, position(i, size) * static_cast<double>(last)));
    return channel;
}

TransferFormula scaled(float red, float green, float blue)
{
    TransferFormula formula;
    formula.redMax = unitClamp(red);
    formula.greenMax = unitClamp(green);
    formula.blueMax = unitClamp(blue);
    return formula;
}

}  // namespace

TransferFormula blendFormula(const Colour& colour, double opacity)
{
    const auto unit = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    const double a = unit(opacity);
    const Rgb c = colour.toRgb();
    const auto channelMin = [&](double component) { return static_cast<float>(unit(component) * a); };
    const auto channelMax = [&](double component) { return static_cast<float>(unit(component) * a + (1.0 - a)); };
    TransferFormula formula;
    formula.redMin = channelMin(c.red);
    formula.redMax = channelMax(c.red);
    formula.greenMin = channelMin(c.green);
    formula.greenMax = channelMax(c.green);
    formula.blueMin = channelMin(c.blue);
    formula.blueMax = channelMax(c.blue);
    return formula;
}

std::optional<TransferFormula> trueColorFormula(const Colour& colour, double alphaPercent)
{
    const float a = static_cast<float>(alphaPercent) / 100.0f;
    const float h = (1.0f - a) * 0.5f;

    if (colour == Colour::redColor())
        return scaled(1.0f, h, h);
    if (colour == Colour::orangeColor())
        return scaled(1.0f, 0.387f + h, h);
    if (colour == Colour::yellowColor())
        return scaled(1.0f, 1.0f, (1.0f - a) * 0.6f);
    if (colour == Colour::greenColor())
        return scaled(h, 1.0f, h);
    if (colour == Colour::blueColor())
        return scaled(h, h, 1.0f);
    if (colour == Colour::blackColor()) {
        const float x = (1.0f - a) + 0.2f;
        const float k = x > 1.0f ? 0.5f : x * 0.5f;
        return scaled(k, k, k);
    }
    return std::nullopt;
}

GammaRamp rampFromFormula(std::size_t size, const TransferFormula& f)
{
    return {channelFromFormula(size, f.redMin, f.redMax, f.redGamma),
            channelFromFormula(size, f.greenMin, f.greenMax, f.greenGamma),
            channelFromFormula(size, f.blueMin, f.blueMax, f.blueGamma)};
}

GammaRamp rampOverCalibration(std::size_t size, const GammaRamp& calibration, const TransferFormula& f)
{
    return {channelOverCalibration(size, calibration.red, f.redMin, f.redMax, f.redGamma),
            channelOverCalibration(size, calibration.green, f.greenMin, f.greenMax, f.greenGamma),
            channelOverCalibration(size, calibration.blue, f.blueMin, f.blueMax, f.blueGamma)};
}

GammaRamp rampFromTable(std::size_t size, std::span<const float> red, std::span<const float> green,
                        std::span<const float> blue)
{
    return {channelFromTable(size, red), channelFromTable(size, green), channelFromTable(size, blue)};
}

}  // namespace lunaveil
