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

Colour shade(int index)
{
    return Colour::rgb(index / 10.0, 0.25, 1.0 - index / 10.0);
}

std::vector<Colour> shades(int count)
{
    std::vector<Colour> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back(shade(i));
    return colours;
}

std::vector<bool> selection(const RoundedViewCheckGroup& group)
{
    std::vector<bool> selected;
    for (const RoundedViewCheckButton* item : group.items())
        selected.push_back(item->isSelected());
    return selected;
}

void hover(QWidget* widget)
{
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &enter);
}

void unhover(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
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
        displays.assign(colours.size(), std::nullopt);
        displays[1] = Colour::orangeColor();
        displays[9] = Colour::rgb(0.5, 0.5, 0.5);
        group.onColorSelected = [this](const Colour& colour) { presetClicks.push_back(colour); };
        group.onCustomSelected = [this](const Colour& colour) { customClicks.push_back(colour); };
    }

    void build(const Colour& selected, bool custom = true) { group.initiate(colours, displays, custom, selected); }

    RoundedViewCheckGroup group;
    std::vector<Colour> colours = shades(10);
    std::vector<std::optional<Colour>> displays;
    std::vector<Colour> presetClicks;
    std::vector<Colour> customClicks;
};

TEST_F(SwatchRow, LaysSquaresOnTheBottomEdgeWithEqualGapsAtBothEndsAndBetween)
{
    build(colours[2]);

    ASSERT_EQ(group.items().size(), 10u);
    const double side = 12.0;
    const double gap = (300.0 - 10 * side) / 11.0;  // 16.3636...
    for (std::size_t i = 0; i < 10; ++i) {
        const QRectF frame = group.items()[i]->frame();
        EXPECT_DOUBLE_EQ(frame.x(), gap + static_cast<double>(i) * (side + gap)) << "swatch " << i;
        EXPECT_DOUBLE_EQ(frame.y(), 2.0);
        EXPECT_DOUBLE_EQ(frame.width(), side);
        EXPECT_DOUBLE_EQ(frame.height(), side);
        // The widget covers the fractional square and no more than the pixels it touches.
        EXPECT_EQ(group.items()[i]->geometry(), frame.toAlignedRect());
    }
    EXPECT_NEAR(group.items()[0]->frame().x(), 16.3636, 1e-4);
    EXPECT_NEAR(group.items()[9]->frame().x(), 271.6364, 1e-4);
    EXPECT_NEAR(300.0 - group.items()[9]->frame().right(), gap, 1e-9);
}

TEST_F(SwatchRow, RoundsPresetsAndSquaresTheCustomSwatch)
{
    build(colours[2]);

    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(group.items()[i]->cornerRadius(), 6.0);
    EXPECT_EQ(group.items()[9]->cornerRadius(), 2.0);
}

TEST_F(SwatchRow, SelectsOnlyThePresetEqualToTheSelectedColour)
{
    build(colours[2]);

    std::vector<bool> expected(10, false);
    expected[2] = true;
    EXPECT_EQ(selection(group), expected);
    EXPECT_TRUE(hasWhiteBorder(*group.items()[2]));
    EXPECT_TRUE(hasNoBorder(*group.items()[9]));
    // The custom swatch shows its own display colour; presets show theirs or their colour.
    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(*displays[9]));
    EXPECT_EQ(group.items()[1]->backgroundColour(), toQColor(Colour::orangeColor()));
    EXPECT_EQ(group.items()[2]->backgroundColour(), toQColor(colours[2]));
}

TEST_F(SwatchRow, CustomSwatchTakesAndSelectsAColourThatIsNoPreset)
{
    const Colour picked = Colour::rgb(0.1, 0.2, 0.3, 1.0, ColourSpace::DeviceRGB);
    build(picked);

    std::vector<bool> expected(10, false);
    expected[9] = true;
    EXPECT_EQ(selection(group), expected);
    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(picked));
    // The swatch still stands for its own colour.
    EXPECT_EQ(group.items()[9]->color, colours[9]);
}

TEST_F(SwatchRow, ComparesColoursExactlyIncludingTheirColourSpace)
{
    // Same components as a preset, but picked in device RGB: not that preset.
    const Rgb components = colours[3].toRgb();
    const Colour device = Colour::rgb(components.red, components.green, components.blue, 1.0, ColourSpace::DeviceRGB);
    build(device);
    EXPECT_FALSE(group.items()[3]->isSelected());
    EXPECT_TRUE(group.items()[9]->isSelected());

    build(device, false);
    EXPECT_EQ(selection(group), std::vector<bool>(10, false));
}

TEST_F(SwatchRow, RowWithoutCustomSwatchSelectsNothingForANonPreset)
{
    build(Colour::rgb(0.9, 0.9, 0.9), false);

    ASSERT_EQ(group.items().size(), 10u);
    EXPECT_EQ(selection(group), std::vector<bool>(10, false));
    for (const RoundedViewCheckButton* item : group.items())
        EXPECT_EQ(item->cornerRadius(), 6.0);
}

TEST_F(SwatchRow, SetSelectedColorMovesTheSelection)
{
    build(colours[2]);
    group.setSelectedColor(colours[5]);

    std::vector<bool> expected(10, false);
    expected[5] = true;
    EXPECT_EQ(selection(group), expected);
    EXPECT_TRUE(hasNoBorder(*group.items()[2]));

    group.setSelectedColor(Colour::rgb(0.01, 0.02, 0.03));
    EXPECT_EQ(selection(group), std::vector<bool>(10, false));
}

TEST_F(SwatchRow, SetCustomColorRepaintsOnlyTheLastSwatch)
{
    build(colours[2]);
    const Colour picked = Colour::rgb(0.7, 0.1, 0.4);
    group.setCustomColor(picked);

    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(picked));
    EXPECT_EQ(group.items()[9]->color, colours[9]);
    EXPECT_EQ(group.items()[8]->backgroundColour(), toQColor(colours[8]));
}

TEST_F(SwatchRow, WithoutCustomSwatchSetCustomColorRepaintsTheLastPresetWhichKeepsItsColour)
{
    build(colours[0], false);
    const Colour picked = Colour::rgb(0.7, 0.1, 0.4);
    group.setCustomColor(picked);

    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(picked));
    QTest::mouseClick(group.items()[9], Qt::LeftButton);
    ASSERT_EQ(presetClicks.size(), 1u);
    EXPECT_EQ(presetClicks[0], colours[9]);
}

TEST_F(SwatchRow, ClickingAPresetSelectsItAndReportsItsColourOnce)
{
    build(colours[2]);
    QTest::mouseClick(group.items()[6], Qt::LeftButton);

    ASSERT_EQ(presetClicks.size(), 1u);
    EXPECT_EQ(presetClicks[0], colours[6]);
    EXPECT_TRUE(customClicks.empty());
    std::vector<bool> expected(10, false);
    expected[6] = true;
    EXPECT_EQ(selection(group), expected);
}

TEST_F(SwatchRow, ClickingTheCustomSwatchReportsItsOwnColourNotTheOneItShows)
{
    build(colours[2]);
    group.setCustomColor(Colour::rgb(0.7, 0.1, 0.4));
    QTest::mouseClick(group.items()[9], Qt::LeftButton);

    ASSERT_EQ(customClicks.size(), 1u);
    EXPECT_EQ(customClicks[0], colours[9]);
    EXPECT_TRUE(presetClicks.empty());
    EXPECT_TRUE(group.items()[9]->isSelected());
    EXPECT_FALSE(group.items()[2]->isSelected());
}

TEST_F(SwatchRow, ClicksWithoutCallbacksStillMoveTheSelection)
{
    build(colours[2]);
    group.onColorSelected = nullptr;
    QTest::mouseClick(group.items()[4], Qt::LeftButton);

    EXPECT_TRUE(group.items()[4]->isSelected());
    EXPECT_FALSE(group.items()[2]->isSelected());
}

TEST_F(SwatchRow, DisabledGroupIgnoresClicksAndHoverButFollowsUpdates)
{
    build(colours[2]);
    group.setEnabled(false);

    QTest::mouseClick(group.items()[6], Qt::LeftButton);
    group.colorItemClick(colours[6]);
    group.customItemClick(colours[9]);
    EXPECT_TRUE(presetClicks.empty());
    EXPECT_TRUE(customClicks.empty());
    EXPECT_TRUE(group.items()[2]->isSelected());
    EXPECT_FALSE(group.items()[6]->isSelected());

    hover(group.items()[5]);
    EXPECT_TRUE(hasNoBorder(*group.items()[5]));

    group.setSelectedColor(colours[4]);
    EXPECT_TRUE(group.items()[4]->isSelected());
    const Colour picked = Colour::rgb(0.7, 0.1, 0.4);
    group.setCustomColor(picked);
    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(picked));

    group.setEnabled(true);
    QTest::mouseClick(group.items()[6], Qt::LeftButton);
    EXPECT_EQ(presetClicks.size(), 1u);
}

TEST_F(SwatchRow, RowsBuiltWhileDisabledStayDisabled)
{
    group.setEnabled(false);
    build(colours[2]);

    QTest::mouseClick(group.items()[6], Qt::LeftButton);
    hover(group.items()[5]);
    EXPECT_TRUE(presetClicks.empty());
    EXPECT_TRUE(hasNoBorder(*group.items()[5]));
}

TEST_F(SwatchRow, HoverShowsTheBorderUntilTheUnselectedSwatchIsLeft)
{
    build(colours[2]);
    RoundedViewCheckButton& unselected = *group.items()[5];
    RoundedViewCheckButton& selected = *group.items()[2];

    hover(&unselected);
    EXPECT_TRUE(hasWhiteBorder(unselected));
    EXPECT_FALSE(unselected.isSelected());
    unhover(&unselected);
    EXPECT_TRUE(hasNoBorder(unselected));

    hover(&selected);
    unhover(&selected);
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
    // The new row is laid out for six swatches.
    EXPECT_DOUBLE_EQ(group.items()[0]->frame().x(), (300.0 - 6 * 12.0) / 7.0);
}

TEST_F(SwatchRow, ShortDisplayListDrawsTheColoursThemselves)
{
    displays.resize(3);
    build(colours[0]);

    ASSERT_EQ(group.items().size(), 10u);
    EXPECT_EQ(group.items()[1]->backgroundColour(), toQColor(Colour::orangeColor()));
    EXPECT_EQ(group.items()[9]->backgroundColour(), toQColor(colours[9]));
}

TEST(SwatchRowEdges, EmptyRowWithCustomSwatchBuildsNothingAndIgnoresUpdates)
{
    RoundedViewCheckGroup group;
    group.resize(300, 14);
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

TEST(SwatchButton, StartsAsAnUnselectedRedSwatchAndReportsPresses)
{
    RoundedViewCheckButton button;
    EXPECT_EQ(button.color, Colour::redColor());
    EXPECT_FALSE(button.isSelected());

    std::vector<Colour> clicks;
    button.onClick = [&](const Colour& colour) { clicks.push_back(colour); };
    button.initiate(Colour::blueColor(), Colour::rgb(0.2, 0.2, 0.9), true, true);
    button.resize(12, 12);
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);

    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], Colour::blueColor());
    EXPECT_TRUE(hasWhiteBorder(button));
    button.select(false);
    EXPECT_TRUE(hasNoBorder(button));
    EXPECT_FALSE(button.isSelected());
}

}  // namespace
}  // namespace lunaveil
