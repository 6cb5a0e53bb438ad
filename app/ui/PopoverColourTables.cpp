#include "ui/PopoverColourTables.h"

#include "settings/Constants.h"

#include <QCoreApplication>

#include <initializer_list>

namespace lunaveil {
namespace {

// Calibrated RGB given in 255ths, opaque.
constexpr Colour rgb255(int red, int green, int blue)
{
    return Colour::rgb(red / 255.0, green / 255.0, blue / 255.0);
}

// The swatches' names, the plain row's order; the True Colors row has no white and no custom swatch.
constexpr const char* swatchNames[] = {
    QT_TRANSLATE_NOOP("lunaveil::PopoverColourTables", "Red"),
    QT_TRANSLATE_NOOP("lunaveil::PopoverColourTables", "Orange"),
    QT_TRANSLATE_NOOP("lunaveil::PopoverColourTables", "Yellow"),
    QT_TRANSLATE_NOOP("lunaveil::PopoverColourTables", "Green"),
    QT_TRANSLATE_NOOP("lunaveil::PopoverColourTables", "Blue"),
    QT_TRANSLATE_NOOP("lunaveil::PopoverColourTables", "White"),
    QT_TRANSLATE_NOOP("lunaveil::PopoverColourTables", "Black"),
    QT_TRANSLATE_NOOP("lunaveil::PopoverColourTables", "Custom Color"),
};

std::vector<QString> translated(std::initializer_list<int> indices)
{
    std::vector<QString> result;
    for (const int index : indices)
        result.push_back(QCoreApplication::translate("lunaveil::PopoverColourTables", swatchNames[index]));
    return result;
}

}  // namespace

std::vector<Colour> PopoverColourTables::colors()
{
    return {
        rgb255(239, 86, 83),
        Constants::DEFAULT_DIM_BACKGROUND_COLOR,
        rgb255(255, 231, 0),
        Colour::greenColor(),
        rgb255(66, 172, 227),
        Colour::whiteColor(),
        Colour::blackColor(),
        rgb255(193, 125, 209),
    };
}

std::vector<std::optional<Colour>> PopoverColourTables::displayColors()
{
    return {
        std::nullopt,
        Colour::orangeColor(),
        rgb255(229, 191, 72),
        rgb255(98, 188, 73),
        std::nullopt,
        rgb255(220, 219, 220),
        rgb255(72, 72, 72),
        std::nullopt,
    };
}

std::vector<Colour> PopoverColourTables::trueColors()
{
    return {
        Colour::redColor(),
        Colour::orangeColor(),
        Colour::yellowColor(),
        Colour::greenColor(),
        Colour::blueColor(),
        Colour::blackColor(),
    };
}

std::vector<std::optional<Colour>> PopoverColourTables::displayTrueColors()
{
    return {
        rgb255(239, 86, 83),
        std::nullopt,
        rgb255(229, 191, 72),
        rgb255(98, 188, 73),
        rgb255(66, 172, 227),
        rgb255(72, 72, 72),
    };
}

std::vector<QString> PopoverColourTables::colorNames()
{
    return translated({0, 1, 2, 3, 4, 5, 6, 7});
}

std::vector<QString> PopoverColourTables::trueColorNames()
{
    return translated({0, 1, 2, 3, 4, 6});
}

}  // namespace lunaveil
