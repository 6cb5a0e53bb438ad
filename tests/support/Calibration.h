#pragma once
// A calibration unlike the straight ramp, so that a restore can be told from a reset.

#include "platform/x11/CrtcGamma.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace lunaveil::test {

inline GammaRamp calibration(std::size_t size)
{
    GammaRamp ramp;
    for (std::size_t i = 0; i < size; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(size - 1);
        ramp.red.push_back(static_cast<std::uint16_t>(std::lround(std::pow(x, 0.9) * 65535)));
        ramp.green.push_back(static_cast<std::uint16_t>(std::lround(std::pow(x, 1.1) * 65535)));
        ramp.blue.push_back(static_cast<std::uint16_t>(std::lround(x * 60000)));
    }
    return ramp;
}

// The lit CRTCs the server lists, without their ramp sizes.
inline std::vector<CrtcId> crtcIds(CrtcGamma& gamma)
{
    std::vector<CrtcId> ids;
    for (const GammaOutput& crtc : gamma.crtcs())
        ids.push_back(crtc.id);
    return ids;
}

// Gives every display a calibration of its own; what each then holds, or nothing when one refused.
inline std::map<CrtcId, GammaRamp> calibrateDisplays(CrtcGamma& gamma)
{
    std::map<CrtcId, GammaRamp> calibrated;
    for (const CrtcId crtc : crtcIds(gamma)) {
        const auto current = gamma.getRamp(crtc);
        if (!current || !gamma.setRamp(crtc, calibration(current->size())))
            return {};
        calibrated[crtc] = *gamma.getRamp(crtc);
    }
    return calibrated;
}

}  // namespace lunaveil::test
