// Sunrise and sunset against published tables (to the minute, within 2), the polar day and night,
// a day with a clock change, and the time zone's coordinates from the tz database.

#include "schedule/SunTimes.h"
#include "schedule/TimeZoneLocation.h"

#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <tuple>

namespace lunaveil {
namespace {

// Minutes after local midnight in `zone`.
int localMinutes(TimePoint when, const char* zone)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const QTime time = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone(zone)).time();
    return time.hour() * 60 + time.minute();
}

constexpr int hm(int hours, int minutes) { return hours * 60 + minutes; }

TEST(SunTimes, RiseAndSetAsTheAlmanacsGiveThem)
{
    const struct Place {
        const char* name;
        const char* zone;
        double latitude, longitude;
        int year, month, day;
        int sunrise, sunset;  // local time, as published
    } places[] = {
        {"Berlin in June", "Europe/Berlin", 52.52, 13.405, 2024, 6, 21, hm(4, 43), hm(21, 33)},
        {"Berlin in December", "Europe/Berlin", 52.52, 13.405, 2024, 12, 21, hm(8, 15), hm(15, 54)},
        {"Sydney in June", "Australia/Sydney", -33.8688, 151.2093, 2024, 6, 21, hm(7, 0), hm(16, 54)},
        {"Sydney in December", "Australia/Sydney", -33.8688, 151.2093, 2024, 12, 21, hm(5, 41), hm(20, 5)},
        {"Quito in June", "America/Guayaquil", -0.1807, -78.4678, 2024, 6, 21, hm(6, 12), hm(18, 19)},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        const SunDay sun = sunDay(place.year, place.month, place.day, place.latitude, place.longitude);
        ASSERT_EQ(sun.kind, SunDay::Kind::RiseAndSet);
        EXPECT_NEAR(localMinutes(sun.sunrise, place.zone), place.sunrise, 2);
        EXPECT_NEAR(localMinutes(sun.sunset, place.zone), place.sunset, 2);
    }
}

TEST(SunTimes, PolarDaysAndNightsAndTheClockChangingOverNight)
{
    // Tromsø: the midnight sun in June, the polar night in December; so at the poles.
    using enum SunDay::Kind;
    for (const auto& [month, latitude, kind] : {std::tuple{6, 69.6492, PolarDay}, {12, 69.6492, PolarNight},
                                                {6, 90.0, PolarDay}, {6, -90.0, PolarNight},
                                                {6, 91.0, PolarNight}, {6, std::nan(""), PolarNight}})  // no such place
        EXPECT_EQ(sunDay(2024, month, 21, latitude, 18.9553).kind, kind) << latitude;

    // Berlin's clocks go forward on 31 March 2024: the sun rises an hour later by the clock, less
    // the two minutes it gains in a day.
    const SunDay before = sunDay(2024, 3, 30, 52.52, 13.405);
    const SunDay after = sunDay(2024, 3, 31, 52.52, 13.405);
    EXPECT_NEAR(localMinutes(after.sunrise, "Europe/Berlin") - localMinutes(before.sunrise, "Europe/Berlin"), 58, 2);
    EXPECT_NEAR(localMinutes(after.sunset, "Europe/Berlin") - localMinutes(before.sunset, "Europe/Berlin"), 62, 2);
}

TEST(TimeZoneLocation, TheZonesPlaceFollowingLinksAndWhyThereIsNone)
{
    const auto lookup = [](const char* zone) {
        std::istringstream zone1970("# comment\n"
                                    "DE,DK,NO,SE,SJ\t+5230+01322\tEurope/Berlin\tmost of Germany\n"
                                    "XX\t+9930+00000\tBroken/Zone\n");
        std::istringstream links("L Europe/Berlin Europe/Oslo\n");
        return zoneCoordinates(zone, zone1970, &links);
    };
    const auto berlin = lookup("Europe/Berlin").coordinates;
    ASSERT_TRUE(berlin);
    EXPECT_NEAR(berlin->latitude, 52.5, 1e-9);
    EXPECT_NEAR(berlin->longitude, 13.0 + 22.0 / 60.0, 1e-9);
    EXPECT_EQ(lookup("Europe/Oslo").coordinates, berlin) << "a link takes its target's place";
    EXPECT_FALSE(lookup("Broken/Zone").coordinates) << "latitude 99";
    EXPECT_FALSE(lookup("UTC").coordinates || lookup("UTC").problem.empty());

    EXPECT_EQ(parseIso6709("-335200+1511300"), (Coordinates{-(33.0 + 52.0 / 60.0), 151.0 + 13.0 / 60.0}));
}

}  // namespace
}  // namespace lunaveil
