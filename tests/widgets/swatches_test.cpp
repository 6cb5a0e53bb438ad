// The swatch row and its swatches: layout, selection by exact colour equality, clicks, hover.

#include "ui/QtColour.h"
#include "ui/RoundedViewCheckButton.h"
#include "ui/RoundedViewCheckGroup.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace lunaveil {
namespace {

std::vector<Colour> shades(int count)
{
    std::vector<Colour> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back(Colour::rgb(i / 10.0, 0.25, 1.0 - i / 10.0));
    return colours;
}

std::vector<bool> selection(const RoundedViewCheckGroup& group)
{
    std::vector<bool> selected;
    for (const RoundedViewCheckButton* item : group.items())
        selected.push_back(item->isSelected());
    return selected;
}

// Ten swatches with only `index` selected, or none for -1.
std::vector<bool> only(int index)
{
    std::vector<bool> selected(10, false);
    if (index >= 0)
        selected[static_cast<std::size_t>(index)] = true;
    return selected;
}

void hover(QWidget* widget, bool entering = true)
{
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, entering ? static_cast<QEvent*>(&enter) : &leave);
}

bool hasWhiteBorder(const RoundedViewCheckButton& item)
{
    return item.borderWidth() == 1.0 && item.borderColour() == QColor(Qt::white);
}

bool hasNoBorder(const RoundedViewCheckButton& item)
{
    return item.borderWidth() == 0.0 && item.borderColour().alpha() == 0;
}

// A group 300 wide and 14 high, as in the popover: ten colours, the last one the custom swatch.
class SwatchRow : public testing::Test {
protected:
    void SetUp() override
    {
        group.resize(300, 14);
        group.show();
        displays[1] = Colour::orangeColor();
        displays[9] = Colour::rgb(0.5, 0.5, 0.5);
        group.onColorSelected = [this](const Colour& colour) { presetClicks.push_back(colour); };
        group.onCustomSelected = [this](const Colour& colour) { customClicks.push_back(colour); };
    }

    void build(const Colour& selected, bool custom = true) { group.initiate(colours, displays, custom, selected); }
    void click(std::size_t index) { QTest::mouseClick(group.items()[index], Qt::LeftButton); }

    RoundedViewCheckGroup group;
    std::vector<Colour> colours = shades(10);
    std::vector<std::optional<Colour>> displays = std::vector<std::optional<Colour>>(10);
    std::vector<Colour> presetClicks;
    std::vector<Colour> customClicks;
    const Colour picked = Colour::rgb(0.7, 0.1, 0.4);
};

TEST_F(SwatchRow, LaysSquaresOnTheBottomEdgeWithEqualGapsRoundingOnlyThePresets)
{
    build(colours[2]);

    ASSERT_EQ(group.items().size(), 10u);
    const double gap = (300.0 - 10 * 12.0) / 11.0;  // 16.3636...
    for (std::size_t i = 0; i < 10; ++i) {
        const QRectF frame = group.items()[i]->frame();
        EXPECT_DOUBLE_EQ(frame.x(), gap + static_cast<double>(i) * (12.0 + gap)) << "swatch " << i;
        EXPECT_DOUBLE_EQ(frame.y(), 2.0);
        EXPECT_EQ(frame.size(), QSizeF(12.0, 12.0));
        // The widget covers the fractional square and no more than the pixels it touches.
        EXPECT_EQ(group.items()[i]->geometry(), frame.toAlignedRect());
        EXPECT_EQ(group.items()[i]->cornerRadius(), i < 9 ? 6.0 : 2.0);
    }
    EXPECT_NEAR(group.items()[9]->frame().x(), 271.6364, 1e-4);
    EXPECT_NEAR(300.0 - group.items()[9]->frame().right(), gap, 1e-9);

    build(colours[2], false);  // without a custom swatch, all are rounded
    for (const RoundedViewCheckButton* item : group.items())
        EXPECT_EQ(item->cornerRadius(), 6.0);
}

TEST_F(SwatchRow, SelectsThePresetEqualToTheColourAndDrawsTheDisplayColours)
{
    build(colours[2]);
    EXPECT_EQ(selection(group), only(2));
    EXPECT_TRUE(hasWhiteBorder(*group.items()[2]));
    EXPECT_TRUE(hasNoBorder(*group.items()[9]));
    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(*displays[9]));
    EXPECT_EQ(group.items()[1]->backgroundColour(), toQColor(Colour::orangeColor()));
    EXPECT_EQ(group.items()[2]->backgroundColour(), toQColor(colours[2]));

    group.setSelectedColor(colours[5]);
    EXPECT_EQ(selection(group), only(5));
    EXPECT_TRUE(hasNoBorder(*group.items()[2]));
    group.setSelectedColor(Colour::rgb(0.01, 0.02, 0.03));
    EXPECT_EQ(selection(group), only(-1));
}

TEST_F(SwatchRow, ColourThatIsNoPresetGoesToTheCustomSwatchComparedExactlyWithColourSpace)
{
    const Colour device = Colour::rgb(0.1, 0.2, 0.3, 1.0, ColourSpace::DeviceRGB);
    build(device);
    EXPECT_EQ(selection(group), only(9));
    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(device));
    EXPECT_EQ(group.items()[9]->color, colours[9]);  // it still stands for its own colour

    // Same components as a preset, but picked in device RGB: not that preset.
    const Rgb components = colours[3].toRgb();
    const Colour same = Colour::rgb(components.red, components.green, components.blue, 1.0, ColourSpace::DeviceRGB);
    build(same);
    EXPECT_EQ(selection(group), only(9));
    build(same, false);
    EXPECT_EQ(selection(group), only(-1));
}

TEST_F(SwatchRow, SetCustomColorRepaintsOnlyTheLastSwatchWhichKeepsItsColour)
{
    for (const bool custom : {true, false}) {
        build(colours[2], custom);
        group.setCustomColor(picked);
        EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(picked));
        EXPECT_EQ(group.items()[9]->color, colours[9]);
        EXPECT_EQ(group.items()[8]->backgroundColour(), toQColor(colours[8]));
    }
    click(9);  // without a custom swatch the last one is a preset
    EXPECT_EQ(presetClicks, std::vector<Colour>{colours[9]});
}

TEST_F(SwatchRow, ClicksSelectAndReportTheSwatchsOwnColourOnce)
{
    build(colours[2]);
    click(6);
    EXPECT_EQ(presetClicks, std::vector<Colour>{colours[6]});
    EXPECT_EQ(selection(group), only(6));

    group.setCustomColor(picked);
    click(9);
    EXPECT_EQ(customClicks, std::vector<Colour>{colours[9]});  // not the colour it shows
    EXPECT_EQ(presetClicks.size(), 1u);
    EXPECT_EQ(selection(group), only(9));

    group.onColorSelected = nullptr;
    click(4);
    EXPECT_EQ(selection(group), only(4));
}

TEST_F(SwatchRow, DisabledGroupIgnoresClicksAndHoverButFollowsUpdates)
{
    group.setEnabled(false);
    build(colours[2]);  // built while disabled: stays disabled
    click(6);
    group.colorItemClick(colours[6]);
    group.customItemClick(colours[9]);
    hover(group.items()[5]);
    EXPECT_TRUE(presetClicks.empty());
    EXPECT_TRUE(customClicks.empty());
    EXPECT_EQ(selection(group), only(2));
    EXPECT_TRUE(hasNoBorder(*group.items()[5]));

    group.setSelectedColor(colours[4]);
    EXPECT_EQ(selection(group), only(4));
    group.setCustomColor(picked);
    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(picked));

    group.setEnabled(true);
    click(6);
    EXPECT_EQ(presetClicks.size(), 1u);
    group.setEnabled(false);  // a row built while enabled follows too
    click(7);
    EXPECT_EQ(selection(group), only(6));
    EXPECT_EQ(presetClicks.size(), 1u);
}

TEST_F(SwatchRow, HoverShowsTheBorderUntilTheUnselectedSwatchIsLeft)
{
    build(colours[2]);
    RoundedViewCheckButton& unselected = *group.items()[5];
    RoundedViewCheckButton& selected = *group.items()[2];

    hover(&unselected);
    EXPECT_TRUE(hasWhiteBorder(unselected));
    EXPECT_FALSE(unselected.isSelected());
    hover(&unselected, false);
    EXPECT_TRUE(hasNoBorder(unselected));

    hover(&selected);
    hover(&selected, false);
    EXPECT_TRUE(hasWhiteBorder(selected));
    EXPECT_TRUE(selected.isSelected());
}

TEST_F(SwatchRow, RebuildingLeavesOnlyTheNewSwatches)
{
    build(colours[2]);
    const std::vector<Colour> six = shades(6);
    group.initiate(six, std::vector<std::optional<Colour>>(6), false, six[1]);

    ASSERT_EQ(group.items().size(), 6u);
    const QList<RoundedViewCheckButton*> children =
        group.findChildren<RoundedViewCheckButton*>(Qt::FindDirectChildrenOnly);
    EXPECT_EQ(children.size(), 6);
    for (RoundedViewCheckButton* item : group.items())
        EXPECT_TRUE(children.contains(item));
    EXPECT_TRUE(group.items()[1]->isSelected());
    EXPECT_DOUBLE_EQ(group.items()[0]->frame().x(), (300.0 - 6 * 12.0) / 7.0);  // laid out for six
}

TEST_F(SwatchRow, ShortDisplayListDrawsTheColoursThemselvesAndAnEmptyRowBuildsNothing)
{
    displays.resize(3);
    build(colours[0]);
    ASSERT_EQ(group.items().size(), 10u);
    EXPECT_EQ(group.items()[1]->backgroundColour(), toQColor(Colour::orangeColor()));
    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(colours[9]));

    group.initiate({}, {}, true, Colour::redColor());
    EXPECT_TRUE(group.items().empty());
    group.setCustomColor(Colour::redColor());
    group.setSelectedColor(Colour::redColor());
    EXPECT_TRUE(group.findChildren<RoundedViewCheckButton*>().isEmpty());
}

TEST(SwatchPainting, DrawsTheFillAndTheSelectionBorderWhereTheSquareIs)
{
    RoundedViewCheckGroup group;
    group.resize(124, 42);  // swatches 40 square, gaps (124 - 80) / 3 = 14.666...
    const std::vector<Colour> colours{Colour::rgb(1, 0, 0), Colour::rgb(0, 0, 1)};
    group.initiate(colours, {std::nullopt, Colour::rgb(0, 1, 0)}, false, colours[0]);
    group.show();
    const QImage image = group.grab().toImage();

    const QRectF first = group.items()[0]->frame();
    const QRectF second = group.items()[1]->frame();
    // Fill in the middle; the selected swatch has a white edge along its top, the other none.
    EXPECT_EQ(image.pixelColor(first.center().toPoint()), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(second.center().toPoint()), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(qRound(first.center().x()), qRound(first.top())), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(qRound(second.center().x()), qRound(second.top())), QColor(0, 255, 0));
    // Nothing is drawn above the squares or in the gaps.
    const QColor background = group.palette().color(QPalette::Window);
    EXPECT_EQ(image.pixelColor(qRound(first.center().x()), 0), background);
    EXPECT_EQ(image.pixelColor(qRound(first.right() + 7.0), 20), background);
}

}  // namespace
}  // namespace lunaveil
