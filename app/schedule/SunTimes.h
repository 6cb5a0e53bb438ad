#pragma once
// Sunrise and sunset anywhere on Earth, computed locally with NOAA's solar position equations.

#include "common/Clock.h"
#include "common/Coordinates.h"

namespace lunaveil {

// The sun's day at one place: when it rises and sets, or that it stays up or down all day.
struct SunDay {
    enum class Kind { RiseAndSet, PolarDay, PolarNight };
    Kind kind = Kind::RiseAndSet;
    TimePoint sunrise{};  // only for RiseAndSet
    TimePoint sunset{};
};

// The elevation of the sun's centre at sunrise and sunset, refraction and the sun's radius
// included; civil twilight ends at -6.
inline constexpr double sunriseElevation = -0.833;

// The sun's day on the calendar date at latitude and longitude (degrees north and east), for the
// place's own day: its solar noon falls on that date in its local time. Coordinates outside the
// globe give a polar night.
SunDay sunDay(int year, int month, int day, double latitude, double longitude, double elevation = sunriseElevation);

// The sun's day at `place` on the local calendar date of `now` (the system's time zone).
SunDay sunDayAt(const Coordinates& place, TimePoint now);

// Whether `now` lies in the night of its local day at `place`: before that day's sunrise or from
// its sunset on; all day in a polar night, never in a polar day.
bool isNightAt(const Coordinates& place, TimePoint now);

}  // namespace lunaveil
