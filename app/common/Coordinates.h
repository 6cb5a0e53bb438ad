#pragma once
// A place on Earth.

namespace lunaveil {

struct Coordinates {
    double latitude = 0.0;   // degrees north
    double longitude = 0.0;  // degrees east
    friend bool operator==(const Coordinates&, const Coordinates&) = default;
};

// Whether both are numbers on the globe: latitude within ±90, longitude within ±180.
constexpr bool onTheGlobe(const Coordinates& place)
{
    return place.latitude >= -90.0 && place.latitude <= 90.0 && place.longitude >= -180.0 && place.longitude <= 180.0;
}

}  // namespace lunaveil
