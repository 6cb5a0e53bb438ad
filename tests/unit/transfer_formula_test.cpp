// The True Colors formula and the ramps built from formulas and tables.

#include "effects/TransferFormula.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace lunaveil;

namespace {

struct Row {
    const char* name;
    Colour colour;
    double alphaPercent;
    float red;
    float green;
    float blue;
};

void expectScaled(const std::optional<TransferFormula>& f, float red, float green, float blue)
{
    ASSERT_TRUE(f.has_value());
    EXPECT_NEAR(f->redMax, red, 1e-6);
    EXPECT_NEAR(f->greenMax, green, 1e-6);
    EXPECT_NEAR(f->blueMax, blue, 1e-6);
    for (const float min : {f->redMin, f->greenMin, f->blueMin})
        EXPECT_EQ(min, 0.0f);
    for (const float gamma : {f->redGamma, f->greenGamma, f->blueGamma})
        EXPECT_EQ(gamma, 1.0f);
}

}  // namespace

TEST(TrueColorFormula, RowsAtZeroQuarterAndFullOpacity)
{
    const Row rows[] = {
        {"red 25", Colour::redColor(), 25, 1.0f, 0.375f, 0.375f},
        {"orange 25", Colour::orangeColor(), 25, 1.0f, 0.762f, 0.375f},
        {"yellow 25", Colour::yellowColor(), 25, 1.0f, 1.0f, 0.45f},
        {"green 25", Colour::greenColor(), 25, 0.375f, 1.0f, 0.375f},
        {"blue 25", Colour::blueColor(), 25, 0.375f, 0.375f, 1.0f},
        {"black 25", Colour::blackColor(), 25, 0.475f, 0.475f, 0.475f},
        {"red 0", Colour::redColor(), 0, 1.0f, 0.5f, 0.5f},
        {"orange 0", Colour::orangeColor(), 0, 1.0f, 0.887f, 0.5f},
        {"yellow 0", Colour::yellowColor(), 0, 1.0f, 1.0f, 0.6f},
        {"black 0", Colour::blackColor(), 0, 0.5f, 0.5f, 0.5f},
        {"black 20", Colour::blackColor(), 20, 0.5f, 0.5f, 0.5f},
        {"red 100", Colour::redColor(), 100, 1.0f, 0.0f, 0.0f},
        {"orange 100", Colour::orangeColor(), 100, 1.0f, 0.387f, 0.0f},
        {"yellow 100", Colour::yellowColor(), 100, 1.0f, 1.0f, 0.0f},
        {"blue 100", Colour::blueColor(), 100, 0.0f, 0.0f, 1.0f},
        {"black 100", Colour::blackColor(), 100, 0.1f, 0.1f, 0.1f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        expectScaled(trueColorFormula(row.colour, row.alphaPercent), row.red, row.green, row.blue);
    }
}

TEST(TrueColorFormula, OutOfRangeOpacitiesKeepMaximaWithinZeroAndOne)
{
    expectScaled(trueColorFormula(Colour::blackColor(), 150), 0.0f, 0.0f, 0.0f);
    expectScaled(trueColorFormula(Colour::redColor(), 150), 1.0f, 0.0f, 0.0f);
    expectScaled(trueColorFormula(Colour::orangeColor(), -100), 1.0f, 1.0f, 1.0f);
    expectScaled(trueColorFormula(Colour::yellowColor(), -100), 1.0f, 1.0f, 1.0f);
    expectScaled(trueColorFormula(Colour::blackColor(), -100), 0.5f, 0.5f, 0.5f);

    const double odd[] = {-1e9, -1, 101, 1e9, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()};
    const Colour named[] = {Colour::redColor(),   Colour::orangeColor(), Colour::yellowColor(),
                            Colour::greenColor(), Colour::blueColor(),   Colour::blackColor()};
    for (const double alpha : odd)
        for (const Colour& colour : named) {
            const auto f = trueColorFormula(colour, alpha);
            ASSERT_TRUE(f.has_value());
            for (const float max : {f->redMax, f->greenMax, f->blueMax}) {
                EXPECT_GE(max, 0.0f) << alpha;
                EXPECT_LE(max, 1.0f) << alpha;
            }
        }
}

TEST(TrueColorFormula, OnlyExactlyEqualNamedColoursApply)
{
    EXPECT_FALSE(trueColorFormula(Colour::rgb(1, 0.5, 0, 1, ColourSpace::DeviceRGB), 25));
    EXPECT_FALSE(trueColorFormula(Colour::rgb(1, 0.5000001, 0), 25));
    EXPECT_FALSE(trueColorFormula(Colour::rgb(0, 0, 0), 25));  // black in RGB is not the grey black
    EXPECT_FALSE(trueColorFormula(Colour::rgb(193.0 / 255, 125.0 / 255, 209.0 / 255), 25));
    EXPECT_FALSE(trueColorFormula(Colour::whiteColor(), 25));
    EXPECT_TRUE(trueColorFormula(Colour::grey(0), 25));
}

TEST(RampFromTable, StraightAndInvertedOntoRampsOf256And1024)
{
    for (const std::size_t size : {std::size_t{256}, std::size_t{1024}}) {
        SCOPED_TRACE(size);
        const GammaRamp straight = rampFromTable(size, straightTable, straightTable, straightTable);
        const GammaRamp inverted = rampFromTable(size, invertedTable, invertedTable, invertedTable);
        ASSERT_EQ(straight.size(), size);
        ASSERT_EQ(straight.blue.size(), size);
        EXPECT_EQ(straight.red.front(), 0);
        EXPECT_EQ(straight.red.back(), 65535);
        EXPECT_EQ(inverted.green.front(), 65535);
        EXPECT_EQ(inverted.green.back(), 0);
        for (std::size_t i = 0; i < size; ++i) {
            // Entry i sits at i / (size - 1): the curve is symmetric and inversion mirrors it exactly.
            EXPECT_EQ(straight.red[i] + straight.red[size - 1 - i], 65535) << i;
            EXPECT_EQ(straight.blue[i] + inverted.blue[i], 65535) << i;
            if (i > 0) {
                EXPECT_GT(straight.green[i], straight.green[i - 1]) << i;
            }
        }
        EXPECT_NEAR(straight.red[size / 2], 32768, 65535.0 / (size - 1));
        EXPECT_NEAR(inverted.red[size / 2], 32767, 65535.0 / (size - 1));
    }
    const GammaRamp straight256 = rampFromTable(256, straightTable, straightTable, straightTable);
    EXPECT_EQ(straight256.red[128], 128 * 257);
}

TEST(RampFromTable, LongerTablesEmptyTablesAndOutOfRangeEntries)
{
    const std::vector<float> peak{0.0f, 1.0f, 0.0f};
    const std::vector<float> wide{-1.0f, 2.0f};
    const GammaRamp ramp = rampFromTable(257, peak, {}, wide);
    EXPECT_EQ(ramp.red[0], 0);
    EXPECT_EQ(ramp.red[64], 32768);
    EXPECT_EQ(ramp.red[128], 65535);
    EXPECT_EQ(ramp.red[192], 32768);
    EXPECT_EQ(ramp.red[256], 0);
    EXPECT_EQ(ramp.green, rampFromTable(257, straightTable, straightTable, straightTable).green);
    EXPECT_EQ(ramp.blue[0], 0);  // -1 clamped
    EXPECT_EQ(ramp.blue[128], 32768);
    EXPECT_EQ(ramp.blue[256], 65535);  // 2 clamped

    EXPECT_EQ(rampFromTable(0, invertedTable, invertedTable, invertedTable).size(), 0u);
    const GammaRamp single = rampFromTable(1, invertedTable, straightTable, invertedTable);
    EXPECT_EQ(single.red, std::vector<std::uint16_t>{65535});
    EXPECT_EQ(single.green, std::vector<std::uint16_t>{0});
}

TEST(RampFromFormula, ScalesByMaximumAndFollowsGamma)
{
    const GammaRamp orange = rampFromFormula(256, *trueColorFormula(Colour::orangeColor(), 25));
    EXPECT_EQ(orange.red, rampFromTable(256, straightTable, straightTable, straightTable).red);
    EXPECT_EQ(orange.green.front(), 0);
    EXPECT_EQ(orange.green.back(), std::lround(0.762 * 65535));
    EXPECT_EQ(orange.blue.back(), 24576);  // 0.375 * 65535 rounded

    TransferFormula curve;
    curve.redMin = 0.1f;
    curve.redMax = 0.9f;
    curve.redGamma = 2.0f;
    curve.greenMin = 1.0f;
    curve.greenMax = 0.0f;  // a falling channel is allowed
    curve.blueMax = 3.0f;   // values beyond 1 are clamped
    const GammaRamp ramp = rampFromFormula(3, curve);
    EXPECT_NEAR(ramp.red[0], 0.1 * 65535, 1);
    EXPECT_NEAR(ramp.red[1], 0.3 * 65535, 1);
    EXPECT_NEAR(ramp.red[2], 0.9 * 65535, 1);
    EXPECT_EQ(ramp.green, (std::vector<std::uint16_t>{65535, 32768, 0}));
    EXPECT_EQ(ramp.blue, (std::vector<std::uint16_t>{0, 65535, 65535}));

    EXPECT_EQ(rampFromFormula(0, curve).size(), 0u);
    EXPECT_EQ(rampFromFormula(1, curve).red, std::vector<std::uint16_t>{static_cast<std::uint16_t>(ramp.red[0])});
}
