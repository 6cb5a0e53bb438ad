#include "ui/RoundedViewCheckGroup.h"

#include <algorithm>

namespace lunaveil {

RoundedViewCheckGroup::RoundedViewCheckGroup(QWidget* parent)
    : QWidget(parent)
{
}

void RoundedViewCheckGroup::initiate(const std::vector<Colour>& colors,
                                     const std::vector<std::optional<Colour>>& displayColors, bool custom,
                                     const Colour& selectedColor)
{
    // A row rebuilt under the keyboard (a swatch chosen with Space) keeps the focus where it was.
    const auto focused = std::find_if(items_.begin(), items_.end(), [](const QWidget* item) { return item->hasFocus(); });
    const auto focusedIndex = focused != items_.end() ? std::optional(focused - items_.begin()) : std::nullopt;
    for (RoundedViewCheckButton* item : items_) {
        // A click on this very swatch may have led here, so it is deleted once that event is done.
        item->hide();
        item->setParent(nullptr);
        item->deleteLater();
    }
    items_.clear();

    const auto displayColourAt = [&](std::size_t index) {
        return index < displayColors.size() ? displayColors[index] : std::nullopt;
    };
    const std::size_t count = colors.size();
    const std::size_t presets = custom && count > 0 ? count - 1 : count;
    const double width = this->width();
    const double height = this->height();
    // Square swatches on the bottom edge, 2 pixels free above; equal gaps at both ends and between.
    const double side = std::max(0.0, height - 2.0);
    const double gap = (width - static_cast<double>(count) * side) / static_cast<double>(count + 1);
    const double top = height - side;

    double x = gap;
    bool presetSelected = false;
    for (std::size_t i = 0; i < presets; ++i) {
        const bool selected = selectedColor == colors[i];
        RoundedViewCheckButton* item = addItem(QRectF(x, top, side, side), colors[i], displayColourAt(i), selected, true);
        item->onClick = [this](const Colour& colour) { colorItemClick(colour); };
        x += side + gap;
        presetSelected = presetSelected || selected;
    }
    if (custom && count > 0) {
        RoundedViewCheckButton* item = addItem(QRectF(x, top, side, side), colors[count - 1], displayColourAt(count - 1),
                                               selectedColor == Colour::clearColor(), false);
        item->onClick = [this](const Colour& colour) { customItemClick(colour); };
        if (!presetSelected) {
            item->setCustomColor(selectedColor);
            item->select(true);
        }
    }
    if (focusedIndex && !items_.empty())
        items_[std::min(static_cast<std::size_t>(*focusedIndex), items_.size() - 1)]->setFocus(Qt::OtherFocusReason);
}

RoundedViewCheckButton* RoundedViewCheckGroup::addItem(const QRectF& frame, const Colour& colour,
                                                       const std::optional<Colour>& displayColor, bool selected,
                                                       bool rounded)
{
    auto* item = new RoundedViewCheckButton(this);
    item->setFrame(frame);
    item->initiate(colour, displayColor, selected, rounded);
    item->onStep = [this, item](int step) { focusNeighbour(item, step); };
    item->show();
    items_.push_back(item);
    return item;
}

// Arrow keys walk the row and stop at its ends, as in a group of radio buttons.
void RoundedViewCheckGroup::focusNeighbour(RoundedViewCheckButton* item, int step)
{
    const auto at = std::find(items_.begin(), items_.end(), item);
    if (at == items_.end())
        return;
    const auto index = (at - items_.begin()) + step;
    if (index >= 0 && index < static_cast<std::ptrdiff_t>(items_.size()))
        items_[static_cast<std::size_t>(index)]->setFocus(Qt::OtherFocusReason);
}

void RoundedViewCheckGroup::setSelectedColor(const Colour& colour)
{
    for (RoundedViewCheckButton* item : items_)
        item->select(item->color == colour);
}

void RoundedViewCheckGroup::setCustomColor(const Colour& colour)
{
    if (!items_.empty())
        items_.back()->setCustomColor(colour);
}

void RoundedViewCheckGroup::colorItemClick(const Colour& colour)
{
    if (!isEnabled())
        return;
    setSelectedColor(colour);
    if (const auto callback = onColorSelected)
        callback(colour);
}

void RoundedViewCheckGroup::customItemClick(const Colour& colour)
{
    if (!isEnabled())
        return;
    setSelectedColor(colour);
    if (const auto callback = onCustomSelected)
        callback(colour);
}

}  // namespace lunaveil
