#pragma once
// Points in time and the local wall clock, as Lunaveil's schedule reads them.

#include <chrono>
#include <functional>

namespace lunaveil {

using TimePoint = std::chrono::system_clock::time_point;
using Clock = std::function<TimePoint()>;

inline TimePoint systemNow() { return std::chrono::system_clock::now(); }

// Minutes since local midnight (0..1439) of a point in time, in the system time zone.
int localMinuteOfDay(TimePoint when);

}  // namespace lunaveil
