#pragma once
// The popover's row of colour swatches: lays them out, keeps the selection in step with the chosen colour, reports clicks.

#include "common/Colour.h"
#include "ui/RoundedViewCheckButton.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace lunaveil {

// The group's enabled state is QWidget's (setEnabled / isEnabled): while disabled, clicks change
// nothing and call nothing, and the swatches give no hover border.
class RoundedViewCheckGroup : public QWidget {
    Q_OBJECT
public:
    explicit RoundedViewCheckGroup(QWidget* parent = nullptr);

    // Called with the swatch's colour when a preset swatch is clicked.
    std::function<void(const Colour&)> onColorSelected;
    // Called with the custom swatch's own colour (the last entry of the row's list) when it is clicked.
    std::function<void(const Colour&)> onCustomSelected;

    // Replaces the row: one swatch per entry of colors, the last one the custom swatch when custom
    // is true; displayColors gives, index for index, the colour drawn instead (missing entries draw
    // the colour itself). Swatches are height - 2 square, on the bottom edge, with equal gaps at both
    // ends and between them, computed from the group's current size. The swatch whose colour equals
    // selectedColor is selected; with a custom swatch and no preset equal, the custom swatch shows
    // selectedColor and is selected.
    void initiate(const std::vector<Colour>& colors, const std::vector<std::optional<Colour>>& displayColors,
                  bool custom, const Colour& selectedColor);
    // Selects exactly the swatches whose colour equals colour (none when no swatch does).
    void setSelectedColor(const Colour& colour);
    // Shows colour on the last swatch (the custom swatch when the row has one).
    void setCustomColor(const Colour& colour);

    // What a preset swatch's and the custom swatch's click do: when enabled, select the swatches
    // equal to colour, then call onColorSelected or onCustomSelected.
    void colorItemClick(const Colour& colour);
    void customItemClick(const Colour& colour);

    // The swatches of the current row, left to right; the custom swatch, when present, is last.
    const std::vector<RoundedViewCheckButton*>& items() const { return items_; }

private:
    RoundedViewCheckButton* addItem(const QRectF& frame, const Colour& colour, const std::optional<Colour>& displayColor,
                                    bool selected, bool rounded);
    void focusNeighbour(RoundedViewCheckButton* item, int step);

    std::vector<RoundedViewCheckButton*> items_;
};

}  // namespace lunaveil
