// The popover's colour tables, and the compiled-in images.

#include "settings/ColourArchive.h"
#include "settings/Constants.h"
#include "ui/PopoverColourTables.h"
#include "ui/Resources.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace lunaveil {
namespace {

// A row selects by exact equality, so each row needs distinct colours, one display entry per
// swatch, and its default colour among them: a fresh popover then shows exactly one selection.
TEST(ColourTables, RowsHoldTheirDefaultsOnceAndSurviveTheSettingsFile)
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
}

// The True Colors formula (trueColorFormula) knows exactly these six colours, by exact equality;
// a swatch of any other colour would leave the displays as they are.
TEST(ColourTables, EveryTrueColorsSwatchIsAColourTheFormulaKnows)
{
    const std::vector<Colour> known{Colour::redColor(),   Colour::orangeColor(), Colour::yellowColor(),
                                    Colour::greenColor(), Colour::blueColor(),   Colour::blackColor()};
    for (const Colour& colour : PopoverColourTables::trueColors())
        EXPECT_NE(std::find(known.begin(), known.end(), colour), known.end());
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
    ASSERT_FALSE(loadImage(name).isNull());
    const QPixmap hiDpi = loadImage(name, QSize(16, 16), 2.0);
    EXPECT_EQ(hiDpi.size(), QSize(32, 32));
    EXPECT_EQ(hiDpi.devicePixelRatio(), 2.0);
}

INSTANTIATE_TEST_SUITE_P(AllImages, Images,
                         testing::Values("AppMenuBarIconBlack", "AppMenuBarIconWhite", "HelpMenuOption",
                                         "HelpMenuOption_White", "QuitApplicationMenuOption",
                                         "QuitApplicationMenuOption_White", "OptionsMenuButton", "StatusLightOn",
                                         "StatusLightOff", "com.quorvex.Lunaveil"));

struct Ink {
    int drawn = 0;  // pixels at least half opaque
    int dark = 0;   // of those, near black
    int white = 0;  // of those, near white
};

Ink inkOf(const char* name)
{
    const QImage image = loadImage(QString::fromLatin1(name), QSize(22, 22)).toImage();
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

TEST(ImageVariants, TrayIconsAndMenuImagesComeDarkAndWhiteAndMissingOnesLoadAsNothing)
{
    for (const auto& [dark, light] : {std::pair{"AppMenuBarIconBlack", "AppMenuBarIconWhite"},
                                      std::pair{"HelpMenuOption", "HelpMenuOption_White"},
                                      std::pair{"QuitApplicationMenuOption", "QuitApplicationMenuOption_White"}}) {
        const Ink darkInk = inkOf(dark);
        const Ink lightInk = inkOf(light);
        EXPECT_GT(darkInk.drawn, 20) << dark;
        EXPECT_EQ(darkInk.dark, darkInk.drawn) << dark;
        EXPECT_EQ(lightInk.white, lightInk.drawn) << light;
        EXPECT_EQ(darkInk.drawn, lightInk.drawn) << dark << " and " << light << " have the same shape";
    }
    EXPECT_TRUE(loadIcon(QStringLiteral("NoSuchImage")).isNull());
    EXPECT_TRUE(loadImage(QStringLiteral("NoSuchImage")).isNull());
}

}  // namespace
}  // namespace lunaveil
