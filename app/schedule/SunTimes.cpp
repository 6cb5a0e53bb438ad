#include "schedule/SunTimes.h"

#include <chrono>
#include <ctime>
#include <cmath>
#include <numbers>
#include <optional>

namespace lunaveil {
namespace {

constexpr double degrees = 180.0 / std::numbers::pi;

double sinDeg(double angle) { return std::sin(angle / degrees); }
double cosDeg(double angle) { return std::cos(angle / degrees); }

// Days since the epoch of the Julian calendar at 0h UT of a Gregorian date.
double julianDay(int year, int month, int day)
{
    if (month <= 2) {
        year -= 1;
        month += 12;
    }
    const int century = year / 100;
    const int leap = 2 - century + century / 4;
    return std::floor(365.25 * (year + 4716)) + std::floor(30.6001 * (month + 1)) + day + leap - 1524.5;
}

struct SolarPosition {
    double declination;     // degrees
    double equationOfTime;  // minutes
};

// NOAA's equations at `julian` (a Julian day with its fraction).
SolarPosition solarPosition(double julian)
{
    const double t = (julian - 2451545.0) / 36525.0;  // Julian centuries since J2000
    const double meanLongitude = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    const double meanAnomaly = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double centre = sinDeg(meanAnomaly) * (1.914602 - t * (0.004817 + 0.000014 * t))
        + sinDeg(2 * meanAnomaly) * (0.019993 - 0.000101 * t) + sinDeg(3 * meanAnomaly) * 0.000289;
    const double omega = 125.04 - 1934.136 * t;
    const double apparentLongitude = meanLongitude + centre - 0.00569 - 0.00478 * sinDeg(omega);
    const double meanObliquity = 23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
    const double obliquity = meanObliquity + 0.00256 * cosDeg(omega);
    const double declination = std::asin(sinDeg(obliquity) * sinDeg(apparentLongitude)) * degrees;
    const double y = std::pow(std::tan(obliquity / 2.0 / degrees), 2);
    const double equationOfTime = 4.0 * degrees
        * (y * sinDeg(2 * meanLongitude) - 2 * eccentricity * sinDeg(meanAnomaly)
           + 4 * eccentricity * y * sinDeg(meanAnomaly) * cosDeg(2 * meanLongitude)
           - 0.5 * y * y * sinDeg(4 * meanLongitude) - 1.25 * eccentricity * eccentricity * sinDeg(2 * meanAnomaly));
    return {declination, equationOfTime};
}

enum class Event { Rise, Set };

// Minutes after 0h UT of the date when the sun passes `elevation` rising or setting; nothing when
// it does not that day, and `polar` then says 1 for above all day, -1 for below.
std::optional<double> eventMinutes(double julian0, double latitude, double longitude, double elevation, Event event,
                                   int& polar)
{
    double minutes = 720.0 - 4.0 * longitude;  // first guess: solar noon
    // Two refinements at the event's own time bring it within well under a minute.
    for (int pass = 0; pass < 3; ++pass) {
        const SolarPosition sun = solarPosition(julian0 + minutes / 1440.0);
        const double cosHourAngle = (sinDeg(elevation) - sinDeg(latitude) * sinDeg(sun.declination))
            / (cosDeg(latitude) * cosDeg(sun.declination));
        // At or beyond 1 the sun stays below the elevation all day, at or beyond -1 above it
        // (at a pole the division gives an infinity of the right sign).
        if (std::isnan(cosHourAngle) || cosHourAngle >= 1.0 || cosHourAngle <= -1.0) {
            polar = std::isnan(cosHourAngle) || cosHourAngle >= 1.0 ? -1 : 1;
            return std::nullopt;
        }
        const double hourAngle = std::acos(cosHourAngle) * degrees;
        const double noon = 720.0 - 4.0 * longitude - sun.equationOfTime;
        minutes = event == Event::Rise ? noon - 4.0 * hourAngle : noon + 4.0 * hourAngle;
    }
    return minutes;
}

TimePoint at(double julian0, double minutes)
{
    // The Unix epoch is Julian day 2440587.5.
    const double seconds = (julian0 - 2440587.5) * 86400.0 + minutes * 60.0;
    return TimePoint(std::chrono::seconds(std::llround(seconds)));
}

}  // namespace

SunDay sunDay(int year, int month, int day, double latitude, double longitude, double elevation)
{
    if (!(std::abs(latitude) <= 90.0) || !(std::abs(longitude) <= 180.0))
        return {.kind = SunDay::Kind::PolarNight};
    const double julian0 = julianDay(year, month, day);
    int polar = 0;
    const std::optional<double> rise = eventMinutes(julian0, latitude, longitude, elevation, Event::Rise, polar);
    const std::optional<double> set = eventMinutes(julian0, latitude, longitude, elevation, Event::Set, polar);
    if (!rise || !set)
        return {.kind = polar > 0 ? SunDay::Kind::PolarDay : SunDay::Kind::PolarNight};
    return {.kind = SunDay::Kind::RiseAndSet, .sunrise = at(julian0, *rise), .sunset = at(julian0, *set)};
}

SunDay sunDayAt(const Coordinates& place, TimePoint now)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    return sunDay(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, place.latitude, place.longitude);
}

bool isNightAt(const Coordinates& place, TimePoint now)
{
    const SunDay sun = sunDayAt(place, now);
    switch (sun.kind) {
    case SunDay::Kind::PolarDay:
        return false;
    case SunDay::Kind::PolarNight:
        return true;
    case SunDay::Kind::RiseAndSet:
        break;
    }
    return now < sun.sunrise || now >= sun.sunset;
}

}  // namespace lunaveil
