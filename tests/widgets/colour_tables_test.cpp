// The popover's colour tables, rows built from them, and the compiled-in images.

#include "settings/ColourArchive.h"
#include "settings/Constants.h"
#include "ui/PopoverColourTables.h"
#include "ui/QtColour.h"
#include "ui/Resources.h"
#include "ui/RoundedViewCheckGroup.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace lunaveil {
namespace {

Colour rgb255(int red, int green, int blue)
{
    return Colour::rgb(red / 255.0, green / 255.0, blue / 255.0);
}

const Colour orange = Colour::rgb(1, 0.5, 0);

TEST(ColourTables, TintRowAppliesTheseColours)
{
    const std::vector<Colour> expected{
        rgb255(239, 86, 83), rgb255(255, 69, 0), rgb255(255, 231, 0), Colour::rgb(0, 1, 0),
        rgb255(66, 172, 227), Colour::grey(1), Colour::grey(0), rgb255(193, 125, 209),
    };
    EXPECT_EQ(PopoverColourTables::colors(), expected);
    EXPECT_EQ(PopoverColourTables::colors()[1], Constants::DEFAULT_DIM_BACKGROUND_COLOR);
}

TEST(ColourTables, TintRowIsDrawnInTheseColours)
{
    const std::vector<std::optional<Colour>> expected{
        std::nullopt, orange, rgb255(229, 191, 72), rgb255(98, 188, 73),
        std::nullopt, rgb255(220, 219, 220), rgb255(72, 72, 72), std::nullopt,
    };
    EXPECT_EQ(PopoverColourTables::displayColors(), expected);
}

TEST(ColourTables, TrueColorsRowAppliesPureColoursDrawnInTheTintRowsTones)
{
    const std::vector<Colour> expected{
        Colour::rgb(1, 0, 0), orange, Colour::rgb(1, 1, 0), Colour::rgb(0, 1, 0), Colour::rgb(0, 0, 1), Colour::grey(0),
    };
    EXPECT_EQ(PopoverColourTables::trueColors(), expected);
    EXPECT_EQ(PopoverColourTables::trueColors()[1], Constants::DEFAULT_BACKGROUND_TRUE_COLOR);

    const std::vector<std::optional<Colour>> display{
        rgb255(239, 86, 83), std::nullopt, rgb255(229, 191, 72), rgb255(98, 188, 73), rgb255(66, 172, 227),
        rgb255(72, 72, 72),
    };
    EXPECT_EQ(PopoverColourTables::displayTrueColors(), display);
}

TEST(ColourTables, AllColoursAreOpaqueAndSurviveTheSettingsFile)
{
    std::vector<Colour> all = PopoverColourTables::colors();
    for (const Colour& colour : PopoverColourTables::trueColors())
        all.push_back(colour);
    for (const Colour& colour : all) {
        EXPECT_EQ(colour.alpha(), 1.0);
        // Read back from the settings, a colour must still select its swatch.
        EXPECT_EQ(unarchiveColour(archiveColour(colour)), colour);
    }
}

class PopoverRows : public testing::Test {
protected:
    void SetUp() override
    {
        group.resize(236, 18);
        group.show();
        group.onColorSelected = [this](const Colour& colour) { presets.push_back(colour); };
        group.onCustomSelected = [this](const Colour& colour) { customs.push_back(colour); };
    }

    void buildTintRow(const Colour& selected)
    {
        group.initiate(PopoverColourTables::colors(), PopoverColourTables::displayColors(), true, selected);
    }
    void buildTrueColorsRow(const Colour& selected)
    {
        group.initiate(PopoverColourTables::trueColors(), PopoverColourTables::displayTrueColors(), false, selected);
    }

    RoundedViewCheckGroup group;
    std::vector<Colour> presets;
    std::vector<Colour> customs;
};

TEST_F(PopoverRows, DefaultTintSelectsTheSecondSwatchDrawnInOrange)
{
    buildTintRow(rgb255(255, 69, 0));

    ASSERT_EQ(group.items().size(), 8u);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(group.items()[i]->isSelected(), i == 1) << "swatch " << i;
    EXPECT_EQ(group.items()[1]->backgroundColour(), toQColor(orange));
    EXPECT_EQ(group.items()[7]->backgroundColour(), toQColor(rgb255(193, 125, 209)));
}

TEST_F(PopoverRows, DefaultTrueColourSelectsTheSecondOfSixSwatches)
{
    buildTrueColorsRow(Constants::DEFAULT_BACKGROUND_TRUE_COLOR);

    ASSERT_EQ(group.items().size(), 6u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(group.items()[i]->isSelected(), i == 1) << "swatch " << i;
}

TEST_F(PopoverRows, TrueColorsRedSwatchPassesPureRed)
{
    buildTrueColorsRow(Constants::DEFAULT_BACKGROUND_TRUE_COLOR);
    EXPECT_EQ(group.items()[0]->backgroundColour(), toQColor(rgb255(239, 86, 83)));
    QTest::mouseClick(group.items()[0], Qt::LeftButton);

    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0], Colour::rgb(1, 0, 0));
}

TEST_F(PopoverRows, CustomSwatchPassesItsTableColourWhateverItShows)
{
    const Colour picked = Colour::rgb(0.2, 0.4, 0.6, 1.0, ColourSpace::DeviceRGB);
    buildTintRow(picked);
    EXPECT_TRUE(group.items()[7]->isSelected());
    EXPECT_EQ(group.items()[7]->backgroundColour(), toQColor(picked));
    QTest::mouseClick(group.items()[7], Qt::LeftButton);

    ASSERT_EQ(customs.size(), 1u);
    EXPECT_EQ(customs[0], rgb255(193, 125, 209));
    EXPECT_TRUE(presets.empty());
}

TEST_F(PopoverRows, SwitchingTrueColorsReplacesTheRow)
{
    buildTintRow(rgb255(255, 69, 0));
    buildTrueColorsRow(Constants::DEFAULT_BACKGROUND_TRUE_COLOR);
    EXPECT_EQ(group.findChildren<RoundedViewCheckButton*>(Qt::FindDirectChildrenOnly).size(), 6);
    buildTintRow(rgb255(255, 69, 0));
    EXPECT_EQ(group.findChildren<RoundedViewCheckButton*>(Qt::FindDirectChildrenOnly).size(), 8);
}

// The images every part of Lunaveil loads by name.
class Images : public testing::TestWithParam<const char*> {};

TEST_P(Images, LoadByNameAsIconAndAsSharpPixmap)
{
    const QString name = QString::fromLatin1(GetParam());
    EXPECT_TRUE(imagePath(name).startsWith(QStringLiteral(":/icons/")));
    const QIcon icon = loadIcon(name);
    ASSERT_FALSE(icon.isNull());
    EXPECT_FALSE(icon.pixmap(QSize(22, 22)).isNull());

    const QPixmap own = loadImage(name);
    ASSERT_FALSE(own.isNull());
    const QPixmap hiDpi = loadImage(name, QSize(16, 16), 2.0);
    EXPECT_EQ(hiDpi.size(), QSize(32, 32));
    EXPECT_EQ(hiDpi.devicePixelRatio(), 2.0);
}

INSTANTIATE_TEST_SUITE_P(AllImages, Images,
                         testing::Values("AppMenuBarIconBlack", "AppMenuBarIconWhite", "HelpMenuOption",
                                         "HelpMenuOption_White", "QuitApplicationMenuOption",
                                         "QuitApplicationMenuOption_White", "OptionsMenuButton", "StatusLightOn", "StatusLightOff",
                                         "com.quorvex.Lunaveil"));

struct Ink {
    int drawn = 0;  // pixels at least half opaque
    int dark = 0;   // of those, near black
    int white = 0;  // of those, near white
};

Ink inkOf(const QString& name)
{
    const QImage image = loadImage(name, QSize(22, 22)).toImage();
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 128)
                continue;
            ++ink.drawn;
            ink.dark += pixel.lightness() < 80;
            ink.white += pixel.lightness() > 230;
        }
    return ink;
}

TEST(ImageVariants, TrayIconsAndMenuImagesComeDarkAndWhite)
{
    for (const auto& [dark, light] : {std::pair{"AppMenuBarIconBlack", "AppMenuBarIconWhite"},
                                      std::pair{"HelpMenuOption", "HelpMenuOption_White"},
                                      std::pair{"QuitApplicationMenuOption", "QuitApplicationMenuOption_White"}}) {
        const Ink darkInk = inkOf(QString::fromLatin1(dark));
        const Ink lightInk = inkOf(QString::fromLatin1(light));
        EXPECT_GT(darkInk.drawn, 20) << dark;
        EXPECT_EQ(darkInk.dark, darkInk.drawn) << dark;
        EXPECT_EQ(lightInk.white, lightInk.drawn) << light;
        EXPECT_EQ(darkInk.drawn, lightInk.drawn) << dark << " and " << light << " have the same shape";
    }
}

TEST(ImageVariants, MissingImageLoadsAsNothing)
{
    EXPECT_TRUE(loadIcon(QStringLiteral("NoSuchImage")).isNull());
    EXPECT_TRUE(loadImage(QStringLiteral("NoSuchImage")).isNull());
}

}  // namespace
}  // namespace lunaveil
