#pragma once
// How long the tint's fades take, and how often a tint on the displays is checked.

#include "settings/Constants.h"

#include <chrono>

namespace lunaveil::tint {

constexpr std::chrono::milliseconds fromSeconds(double seconds)
{
    return std::chrono::milliseconds(static_cast<long>(seconds * 1000));
}

constexpr std::chrono::milliseconds fadeDuration = fromSeconds(Constants::ANIMATION_DURATION);
constexpr std::chrono::milliseconds fadeStopSignal = fromSeconds(Constants::ANIMATION_DURATION_STOP_SIGNAL);
// A tint on the displays is applied again this often, so another program's change lasts no longer.
constexpr std::chrono::milliseconds transferPeriod{1000};

}  // namespace lunaveil::tint
