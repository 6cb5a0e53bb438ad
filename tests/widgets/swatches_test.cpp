// The swatch row (selection by exact colour equality, the disabled row), the popover's
// colour tables and the compiled-in images at high density.

#include "settings/ColourArchive.h"
#include "settings/Constants.h"
#include "ui/PopoverColourTables.h"
#include "ui/QtColour.h"
#include "ui/Resources.h"
#include "ui/RoundedViewCheckGroup.h"

#include <QTest>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

// A row as in the popover, 300 by 14: ten colours, the last one the custom swatch.
class SwatchRow : public testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 10; ++i)
            colours.push_back(Colour::rgb(i / 10.0, 0.25, 1.0 - i / 10.0));
        group.resize(300, 14);
        group.show();
        displays[1] = Colour::orangeColor();
        group.onColorSelected = [this](const Colour& colour) { presets.push_back(colour); };
        group.onCustomSelected = [this](const Colour& colour) { customs.push_back(colour); };
    }
    void build(const Colour& selected, bool custom = true) { group.initiate(colours, displays, custom, selected); }
    void click(std::size_t index) { QTest::mouseClick(group.items().at(index), Qt::LeftButton); }
    RoundedViewCheckButton* item(std::size_t index) { return group.items().at(index); }
    // The index of the one selected swatch: -1 for none, -2 for several.
    int selected() const
    {
        int found = -1;
        for (std::size_t i = 0; i < group.items().size(); ++i)
            if (group.items()[i]->isSelected())
                found = found == -1 ? static_cast<int>(i) : -2;
        return found;
    }

    RoundedViewCheckGroup group;
    std::vector<Colour> colours;
    std::vector<std::optional<Colour>> displays = std::vector<std::optional<Colour>>(10);
    std::vector<Colour> presets;
    std::vector<Colour> customs;
};

TEST_F(SwatchRow, SelectsTheSwatchEqualToTheColourComparedExactlyWithColourSpace)
{
    build(colours[2]);
    ASSERT_EQ(group.items().size(), 10u);
    EXPECT_EQ(selected(), 2);
    EXPECT_EQ(item(1)->backgroundColour(), toQColor(Colour::orangeColor())) << "drawn in its display colour";
    group.setSelectedColor(colours[5]);
    EXPECT_EQ(selected(), 5);
    group.setSelectedColor(Colour::rgb(0.01, 0.02, 0.03));
    EXPECT_EQ(selected(), -1);
    // A colour that is no preset goes to the custom swatch, which still stands for its own colour;
    // the same components as a preset, picked in device RGB, are not that preset.
    const Rgb components = colours[3].toRgb();
    const Colour device = Colour::rgb(components.red, components.green, components.blue, 1.0, ColourSpace::DeviceRGB);
    displays.resize(3);  // a short display list: the rest draw their own colours
    build(device);
    EXPECT_EQ(selected(), 9);
    EXPECT_EQ(std::pair(item(9)->backgroundColour(), item(9)->color), std::pair(toQColor(device), colours[9]));
    build(device, false);
    EXPECT_EQ(selected(), -1);
    EXPECT_EQ(item(9)->backgroundColour(), toQColor(colours[9]));
    group.initiate({}, {}, true, Colour::redColor());  // an empty row builds nothing, and takes updates
    group.setCustomColor(Colour::redColor());
    group.setSelectedColor(Colour::redColor());
    EXPECT_TRUE(group.items().empty());
}

// A click reports the swatch's own colour once (the popover's test); here, the row that is disabled.
TEST_F(SwatchRow, ReportsNoClickWhileDisabledWhetherBuiltSoOrDisabledLater)
{
    group.setEnabled(false);
    build(colours[2]);  // built while disabled: stays disabled, and follows updates
    click(6);
    group.setSelectedColor(colours[4]);
    EXPECT_EQ(std::tuple(presets.size(), customs.size(), selected()), std::tuple(0u, 0u, 4));
    group.setEnabled(true);
    build(colours[2], false);  // without a custom swatch the last one is a preset
    group.setEnabled(false);
    click(7);
    group.setEnabled(true);
    click(9);
    EXPECT_EQ(std::tuple(presets, customs.size(), selected()), std::tuple(std::vector<Colour>{colours[9]}, 0u, 9));
}

// A row selects by exact equality, so each row needs distinct colours, one display entry per
// swatch, and its default colour among them, and each colour must come back from the settings
// file exactly. The True Colors formula knows exactly six colours.
TEST(ColourTables, RowsHoldTheirDefaultsOnceSurviveTheSettingsFileAndTrueColorsAreKnownOnes)
{
    const auto check = [](const std::vector<Colour>& row, std::size_t displays, const Colour& fallback) {
        EXPECT_EQ(displays, row.size());
        EXPECT_EQ(std::count(row.begin(), row.end(), fallback), 1);
        for (const Colour& colour : row) {
            EXPECT_EQ(std::count(row.begin(), row.end(), colour), 1);
            EXPECT_EQ(colour.alpha(), 1.0);
            EXPECT_EQ(unarchiveColour(archiveColour(colour)), colour);
        }
    };
    check(PopoverColourTables::colors(), PopoverColourTables::displayColors().size(),
          Constants::DEFAULT_DIM_BACKGROUND_COLOR);
    check(PopoverColourTables::trueColors(), PopoverColourTables::displayTrueColors().size(),
          Constants::DEFAULT_BACKGROUND_TRUE_COLOR);
    const std::vector<Colour> known{Colour::redColor(),   Colour::orangeColor(), Colour::yellowColor(),
                                    Colour::greenColor(), Colour::blueColor(),   Colour::blackColor()};
    for (const Colour& colour : PopoverColourTables::trueColors())
        EXPECT_EQ(std::count(known.begin(), known.end(), colour), 1);
}

// Drawn sharp on high-density screens; a missing image gives none rather than a broken one.
TEST(Images, LoadAtTheScreensPixelDensityAndAMissingOneIsNull)
{
    const QPixmap hiDpi = loadImage(QStringLiteral("StatusLightOn"), QSize(16, 16), 2.0);
    EXPECT_EQ(std::pair(hiDpi.size(), hiDpi.devicePixelRatio()), std::pair(QSize(32, 32), 2.0));
    EXPECT_TRUE(loadIcon(QStringLiteral("NoSuchImage")).isNull() && loadImage(QStringLiteral("NoSuchImage")).isNull());
}

}  // namespace
}  // namespace lunaveil
