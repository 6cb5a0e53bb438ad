#pragma once
// Display transfer curves: the True Colors formula, and ramps built from a formula or a table.

#include "common/Colour.h"
#include "platform/DisplayGamma.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>

namespace lunaveil {

// Per channel, a value v in 0..1 is shown as min + (max - min) * v^gamma.
struct TransferFormula {
    float redMin = 0.0f;
    float redMax = 1.0f;
    float redGamma = 1.0f;
    float greenMin = 0.0f;
    float greenMax = 1.0f;
    float greenGamma = 1.0f;
    float blueMin = 0.0f;
    float blueMax = 1.0f;
    float blueGamma = 1.0f;

    friend bool operator==(const TransferFormula&, const TransferFormula&) = default;
};

// Two-entry tables for all three channels: every channel upside down, or the straight linear transfer.
inline constexpr std::array<float, 2> invertedTable{1.0f, 0.0f};
inline constexpr std::array<float, 2> straightTable{0.0f, 1.0f};

// The True Colors formula for one of the six named colours (exact equality) at an opacity in percent;
// nullopt for any other colour, which leaves the displays as they are. Maxima stay within 0..1.
std::optional<TransferFormula> trueColorFormula(const Colour& colour, double alphaPercent);

// The transfer that shows what a window of `colour` at `opacity` (0..1) laid over the screen
// shows: each channel v becomes v·(1−a) + c·a. Used, over each display's calibration, where no
// compositor blends windows.
TransferFormula blendFormula(const Colour& colour, double opacity);

// A ramp of `size` entries per channel following the formula, each value clamped to 0..1.
GammaRamp rampFromFormula(std::size_t size, const TransferFormula& formula);

// The same with the formula taking what `calibration` gives instead of the input itself, so that
// the calibration stays under it; a calibration of another size is interpolated linearly, and a
// channel it leaves empty takes the formula alone.
GammaRamp rampOverCalibration(std::size_t size, const GammaRamp& calibration, const TransferFormula& formula);

// A ramp of `size` entries per channel interpolating each table linearly from its first entry
// (input 0) to its last (input 1); an empty table gives that channel the straight ramp.
GammaRamp rampFromTable(std::size_t size, std::span<const float> red, std::span<const float> green,
                        std::span<const float> blue);

}  // namespace lunaveil
