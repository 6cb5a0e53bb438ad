#pragma once
// Where the user is, as far as the system's time zone tells: the coordinates the tz database
// gives its zones (zone1970.tab of Debian's tzdata), without any network.

#include "common/Coordinates.h"

#include <filesystem>
#include <istream>
#include <optional>
#include <string>

namespace lunaveil {

// Coordinates, or why there are none, in words for a tooltip.
struct ZoneLocation {
    std::optional<Coordinates> coordinates;
    std::string problem;
};

// The zone's coordinates in zone1970.tab's text ("CC<tab>+DDMM+DDDMM<tab>Zone..."), where `zone`
// is first followed through the links of tzdata.zi's text ("L Target Link"), when given.
ZoneLocation zoneCoordinates(const std::string& zone, std::istream& zone1970, std::istream* links = nullptr);

// The system's time zone name: $TZ (without its leading ':'), else /etc/timezone, else the zone
// /etc/localtime links to; empty when none says.
std::string systemTimeZoneName();

// The coordinates of the system's time zone from the tz database in $TZDIR or /usr/share/zoneinfo.
ZoneLocation systemZoneLocation();

// ISO 6709 as zone1970.tab writes it: ±DDMM±DDDMM or ±DDMMSS±DDDMMSS.
std::optional<Coordinates> parseIso6709(const std::string& text);

}  // namespace lunaveil
