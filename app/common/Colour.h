#pragma once
// A tint colour: a colour space, its components and an alpha, compared exactly.

#include <array>
#include <cstddef>

namespace lunaveil {

enum class ColourSpace : unsigned char {
    CalibratedRGB = 1,  // the preset swatches and the named colours
    DeviceRGB = 2,      // colours picked on screen
    Grey = 3,           // one white component: black, white, the clear colour
};

struct Rgb {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
};

class Colour {
public:
    static constexpr std::size_t maxComponents = 3;

    constexpr Colour() = default;  // the clear colour
    static constexpr Colour rgb(double r, double g, double b, double alpha = 1.0,
                                ColourSpace space = ColourSpace::CalibratedRGB)
    {
        return Colour(space, {r, g, b}, alpha);
    }
    static constexpr Colour grey(double white, double alpha = 1.0)
    {
        return Colour(ColourSpace::Grey, {white, 0.0, 0.0}, alpha);
    }

    static constexpr Colour redColor() { return rgb(1, 0, 0); }
    static constexpr Colour orangeColor() { return rgb(1, 0.5, 0); }
    static constexpr Colour yellowColor() { return rgb(1, 1, 0); }
    static constexpr Colour greenColor() { return rgb(0, 1, 0); }
    static constexpr Colour blueColor() { return rgb(0, 0, 1); }
    static constexpr Colour whiteColor() { return grey(1); }
    static constexpr Colour blackColor() { return grey(0); }
    static constexpr Colour clearColor() { return grey(0, 0); }

    static constexpr std::size_t componentCount(ColourSpace space)
    {
        return space == ColourSpace::Grey ? 1 : 3;
    }

    constexpr ColourSpace space() const { return space_; }
    constexpr double alpha() const { return alpha_; }
    // Only the first componentCount(space()) entries are meaningful; the rest are zero.
    constexpr const std::array<double, maxComponents>& components() const { return components_; }

    constexpr Colour colorWithAlphaComponent(double alpha) const { return Colour(space_, components_, alpha); }

    // The colour as red, green and blue (grey spreads its one component over all three).
    constexpr Rgb toRgb() const
    {
        if (space_ == ColourSpace::Grey)
            return {components_[0], components_[0], components_[0]};
        return {components_[0], components_[1], components_[2]};
    }

    // Same space, identical components and alpha: a red in device RGB is not the calibrated red.
    friend constexpr bool operator==(const Colour&, const Colour&) = default;

private:
    constexpr Colour(ColourSpace space, std::array<double, maxComponents> components, double alpha)
        : space_(space), components_(components), alpha_(alpha)
    {
        if (space == ColourSpace::Grey)
            components_[1] = components_[2] = 0.0;
    }

    ColourSpace space_ = ColourSpace::Grey;
    std::array<double, maxComponents> components_{};
    double alpha_ = 0.0;
};

}  // namespace lunaveil
