// The swatch row and its swatches (layout, selection by exact colour equality, clicks, hover), the
// popover's colour tables, and the compiled-in images.

#include "settings/ColourArchive.h"
#include "settings/Constants.h"
#include "ui/PopoverColourTables.h"
#include "ui/QtColour.h"
#include "ui/Resources.h"
#include "ui/RoundedViewCheckButton.h"
#include "ui/RoundedViewCheckGroup.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
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

void hover(QWidget* widget, bool entering = true)
{
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, entering ? static_cast<QEvent*>(&enter) : &leave);
}

bool hasWhiteBorder(const RoundedViewCheckButton* item)
{
    return item->borderWidth() == 1.0 && item->borderColour() == QColor(Qt::white);
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
    std::vector<Colour> colours = shades(10);
    std::vector<std::optional<Colour>> displays = std::vector<std::optional<Colour>>(10);
    std::vector<Colour> presetClicks;
    std::vector<Colour> customClicks;
    const Colour picked = Colour::rgb(0.7, 0.1, 0.4);
};

TEST_F(SwatchRow, LaysSquaresOnTheBottomEdgeWithEqualGapsRoundingOnlyThePresets)
{
    build(colours[1]);
    ASSERT_EQ(group.items().size(), 10u);
    const double gap = item(0)->frame().x();
    double right = 0.0;
    for (const RoundedViewCheckButton* each : group.items()) {
        EXPECT_NEAR(each->frame().x() - right, gap, 1e-9);
        EXPECT_EQ(each->frame(), QRectF(each->frame().x(), 2.0, 12.0, 12.0));
        // The widget covers the fractional square and no more than the pixels it touches.
        EXPECT_EQ(each->geometry(), each->frame().toAlignedRect());
        EXPECT_EQ(each->cornerRadius(), each == group.items().back() ? 2.0 : 6.0);
        right = each->frame().right();
    }
    EXPECT_NEAR(300.0 - right, gap, 1e-9);
    build(colours[1], false);  // without a custom swatch, all are rounded
    EXPECT_EQ(group.items().back()->cornerRadius(), 6.0);

    group.initiate({}, {}, true, Colour::redColor());  // an empty row builds nothing, and takes updates
    group.setCustomColor(Colour::redColor());
    group.setSelectedColor(Colour::redColor());
    EXPECT_TRUE(group.items().empty());
}

TEST_F(SwatchRow, SelectsTheSwatchEqualToTheColourComparedExactlyWithColourSpace)
{
    build(colours[2]);
    EXPECT_EQ(selected(), 2);
    EXPECT_TRUE(hasWhiteBorder(item(2)));
    EXPECT_EQ(item(1)->backgroundColour(), toQColor(Colour::orangeColor()));  // its display colour
    EXPECT_EQ(item(2)->backgroundColour(), toQColor(colours[2]));
    EXPECT_EQ(item(9)->backgroundColour(), toQColor(*displays[9]));
    group.setSelectedColor(colours[5]);
    EXPECT_EQ(selected(), 5);
    EXPECT_EQ(item(2)->borderWidth(), 0.0);
    group.setSelectedColor(Colour::rgb(0.01, 0.02, 0.03));
    EXPECT_EQ(selected(), -1);

    // A colour that is no preset goes to the custom swatch, which still stands for its own colour;
    // the same components as a preset, picked in device RGB, are not that preset.
    const Rgb components = colours[3].toRgb();
    const Colour device = Colour::rgb(components.red, components.green, components.blue, 1.0, ColourSpace::DeviceRGB);
    displays.resize(3);  // a short display list: the rest draw their own colours
    build(device);
    EXPECT_EQ(selected(), 9);
    EXPECT_EQ(item(9)->backgroundColour(), toQColor(device));
    EXPECT_EQ(item(9)->color, colours[9]);
    build(device, false);
    EXPECT_EQ(selected(), -1);
    EXPECT_EQ(item(9)->backgroundColour(), toQColor(colours[9]));
}

TEST_F(SwatchRow, ClicksSelectAndReportTheSwatchsOwnColourOnce)
{
    build(colours[2]);
    click(6);
    EXPECT_EQ(presetClicks, std::vector<Colour>{colours[6]});
    EXPECT_EQ(selected(), 6);

    group.setCustomColor(picked);  // shown on the last swatch only, which keeps its colour
    EXPECT_EQ(item(9)->backgroundColour(), toQColor(picked));
    EXPECT_EQ(item(8)->backgroundColour(), toQColor(colours[8]));
    click(9);
    EXPECT_EQ(customClicks, std::vector<Colour>{colours[9]});
    EXPECT_EQ(presetClicks.size(), 1u);
    EXPECT_EQ(selected(), 9);

    group.onColorSelected = nullptr;
    click(4);
    EXPECT_EQ(selected(), 4);

    build(colours[2], false);  // without a custom swatch the last one is a preset
    group.onColorSelected = [this](const Colour& colour) { presetClicks.push_back(colour); };
    click(9);
    EXPECT_EQ(presetClicks.back(), colours[9]);
    EXPECT_EQ(customClicks.size(), 1u);
}

TEST_F(SwatchRow, HoverShowsTheBorderUntilTheUnselectedSwatchIsLeft)
{
    build(colours[2]);
    hover(item(5));
    EXPECT_TRUE(hasWhiteBorder(item(5)));
    EXPECT_FALSE(item(5)->isSelected());
    hover(item(5), false);
    EXPECT_EQ(item(5)->borderWidth(), 0.0);
    EXPECT_EQ(item(5)->borderColour().alpha(), 0);
    hover(item(2));
    hover(item(2), false);
    EXPECT_TRUE(hasWhiteBorder(item(2)));
}

TEST_F(SwatchRow, DisabledGroupIgnoresClicksAndHoverButFollowsUpdates)
{
    group.setEnabled(false);
    build(colours[2]);  // built while disabled: stays disabled
    click(6);
    group.colorItemClick(colours[6]);
    group.customItemClick(colours[9]);
    hover(item(5));
    EXPECT_TRUE(presetClicks.empty() && customClicks.empty());
    EXPECT_EQ(selected(), 2);
    EXPECT_EQ(item(5)->borderWidth(), 0.0);
    group.setSelectedColor(colours[4]);
    EXPECT_EQ(selected(), 4);

    group.setEnabled(true);
    click(6);
    group.setEnabled(false);  // a row built while enabled follows too
    click(7);
    EXPECT_EQ(selected(), 6);
    EXPECT_EQ(presetClicks.size(), 1u);
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

// A row selects by exact equality, so each row needs distinct colours, one display entry per
// swatch, and its default colour among them: a fresh popover then shows exactly one selection.
// A row selects by exact equality, so each row needs distinct colours, one display entry per
// swatch, and its default colour among them: a fresh popover then shows exactly one selection.
// The True Colors formula knows exactly six colours, by exact equality; a swatch of any other
// colour would leave the displays as they are.
TEST(ColourTables, RowsHoldTheirDefaultsOnceSurviveTheSettingsFileAndTrueColorsAreKnownOnes)
{
    const auto check = [](const std::vector<Colour>& row, std::size_t displays, const Colour& fallback) {
        EXPECT_EQ(displays, row.size());
        EXPECT_EQ(std::count(row.begin(), row.end(), fallback), 1);
        for (const Colour& colour : row) {
            EXPECT_EQ(std::count(row.begin(), row.end(), colour), 1);
            EXPECT_EQ(colour.alpha(), 1.0);
            // Read back from the settings, a colour must still select its swatch.
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

// Pixels at least half opaque, and how many of them are near black and near white.
struct Ink {
    int drawn = 0, black = 0, white = 0;
};

Ink inkOf(const char* name)
{
    const QImage image = loadImage(QString::fromLatin1(name), QSize(22, 22)).toImage();
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor pixel = image.pixelColor(x, y); pixel.alpha() >= 128)
                ink = {ink.drawn + 1, ink.black + (pixel.lightness() < 80), ink.white + (pixel.lightness() > 230)};
    return ink;
}

TEST(Images, LoadByNameSharpAndTheTrayAndMenuImagesComeDarkAndWhiteInTheSameShape)
{
    for (const char* name : {"AppMenuBarIconBlack", "AppMenuBarIconWhite", "HelpMenuOption", "HelpMenuOption_White",
                             "QuitApplicationMenuOption", "QuitApplicationMenuOption_White", "OptionsMenuButton",
                             "StatusLightOn", "StatusLightOff", "com.quorvex.Lunaveil"}) {
        EXPECT_FALSE(loadIcon(QString::fromLatin1(name)).pixmap(QSize(22, 22)).isNull()) << name;
        const QPixmap hiDpi = loadImage(QString::fromLatin1(name), QSize(16, 16), 2.0);
        EXPECT_EQ(hiDpi.size(), QSize(32, 32)) << name;
        EXPECT_EQ(hiDpi.devicePixelRatio(), 2.0) << name;
    }
    EXPECT_TRUE(loadIcon(QStringLiteral("NoSuchImage")).isNull());
    EXPECT_TRUE(loadImage(QStringLiteral("NoSuchImage")).isNull());

    for (const auto& [dark, white] : {std::pair{"AppMenuBarIconBlack", "AppMenuBarIconWhite"},
                                      std::pair{"HelpMenuOption", "HelpMenuOption_White"},
                                      std::pair{"QuitApplicationMenuOption", "QuitApplicationMenuOption_White"}}) {
        const Ink darkInk = inkOf(dark);
        const Ink whiteInk = inkOf(white);
        EXPECT_GT(darkInk.drawn, 20) << dark;
        EXPECT_EQ(darkInk.black, darkInk.drawn) << dark;
        EXPECT_EQ(whiteInk.white, whiteInk.drawn) << white;
        EXPECT_EQ(darkInk.drawn, whiteInk.drawn) << dark << " and " << white << " have the same shape";
    }
}

}  // namespace
}  // namespace lunaveil
