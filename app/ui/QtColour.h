#pragma once
// Converts Lunaveil's Colour to the QColor that widgets paint with.

#include "common/Colour.h"

#include <QColor>

namespace lunaveil {

// Every colour space is painted as sRGB; grey spreads its one component over red, green and blue.
inline QColor toQColor(const Colour& colour)
{
    const Rgb rgb = colour.toRgb();
    return QColor::fromRgbF(static_cast<float>(rgb.red), static_cast<float>(rgb.green),
                            static_cast<float>(rgb.blue), static_cast<float>(colour.alpha()));
}

}  // namespace lunaveil
