// Colour equality and the colour archive kept in the settings file.

#include "common/Colour.h"
#include "settings/ColourArchive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace lunaveil;

TEST(Colour, EqualityNeedsSameSpaceComponentsAndAlpha)
{
    EXPECT_EQ(Colour::orangeColor(), Colour::rgb(1, 0.5, 0));
    EXPECT_NE(Colour::orangeColor(), Colour::rgb(1, 0.5, 0, 1, ColourSpace::DeviceRGB));
    EXPECT_NE(Colour::orangeColor(), Colour::rgb(1, 0.5000001, 0));
    EXPECT_NE(Colour::blackColor(), Colour::rgb(0, 0, 0));
    EXPECT_NE(Colour::redColor(), Colour::redColor().colorWithAlphaComponent(0.25));
    EXPECT_EQ(Colour::grey(0.5).colorWithAlphaComponent(0), Colour::grey(0.5, 0)) << "only the alpha changes";
}

// Every colour space reads back equal, down to the sign of a zero; anything malformed is refused.
TEST(ColourArchive, EveryColourReadsBackEqualAndAnythingMalformedIsRefused)
{
    for (const Colour& colour : {Colour::rgb(1.0, 69.0 / 255.0, 0.0),
                                 Colour::rgb(193.0 / 255, 125.0 / 255, 209.0 / 255, 0.7, ColourSpace::DeviceRGB),
                                 Colour::grey(0.3333333333333333, 0.5), Colour::clearColor(),
                                 Colour::rgb(-0.0, 1e-300, 0.1 + 0.2)}) {
        const auto back = unarchiveColour(archiveColour(colour));
        ASSERT_TRUE(back.has_value());
        EXPECT_TRUE(*back == colour && std::signbit(back->components()[0]) == std::signbit(colour.components()[0]));
    }
    const QByteArray good = archiveColour(Colour::redColor());
    QByteArray badSpace = good, wrongCount = good;
    badSpace[4] = 9;
    wrongCount[5] = 1;  // RGB with one component
    for (const QByteArray& bad : {QByteArray(), good.left(good.size() - 1), good + 'x',
                                  QByteArray("not a colour at all"), badSpace, wrongCount,
                                  archiveColour(Colour::rgb(std::numeric_limits<double>::quiet_NaN(), 0, 0))})
        EXPECT_FALSE(unarchiveColour(bad)) << bad.toHex().toStdString();
}
