#pragma once
// The popover's colour tables: the colours its swatches apply, and the colours they are drawn in.

#include "common/Colour.h"

#include <QString>

#include <optional>
#include <vector>

namespace lunaveil {

// Index for index, a display entry gives the colour drawn on the swatch, or none to draw the
// applied colour itself.
class PopoverColourTables {
public:
    // The overlay tint: seven presets, then the custom swatch's colour.
    static std::vector<Colour> colors();
    static std::vector<std::optional<Colour>> displayColors();
    // True Colors: six pure colours for the display transfer, drawn in the softer tones of the tint row.
    static std::vector<Colour> trueColors();
    static std::vector<std::optional<Colour>> displayTrueColors();
    // What screen readers call each swatch of the two rows, index for index, in the user's language.
    static std::vector<QString> colorNames();
    static std::vector<QString> trueColorNames();
};

}  // namespace lunaveil
