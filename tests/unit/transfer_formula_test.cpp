// The True Colors and blend formulas, and the ramps built from formulas and tables.

#include "effects/TransferFormula.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lunaveil;

namespace {

using Ramp = std::vector<std::uint16_t>;

TEST(TrueColorFormula, ScalesEachChannelsMaximumByColourAndOpacity)
{
    const struct {
        Colour colour;
        double alphaPercent;
        float red, green, blue;
    } rows[] = {
        {Colour::redColor(), 25, 1.0f, 0.375f, 0.375f},   {Colour::orangeColor(), 25, 1.0f, 0.762f, 0.375f},
        {Colour::yellowColor(), 25, 1.0f, 1.0f, 0.45f},   {Colour::greenColor(), 25, 0.375f, 1.0f, 0.375f},
        {Colour::blueColor(), 25, 0.375f, 0.375f, 1.0f},  {Colour::blackColor(), 25, 0.475f, 0.475f, 0.475f},
        {Colour::orangeColor(), 0, 1.0f, 0.887f, 0.5f},   {Colour::blackColor(), 20, 0.5f, 0.5f, 0.5f},
        {Colour::orangeColor(), 100, 1.0f, 0.387f, 0.0f}, {Colour::blackColor(), 100, 0.1f, 0.1f, 0.1f},
        {Colour::redColor(), 150, 1.0f, 0.0f, 0.0f},      {Colour::orangeColor(), -100, 1.0f, 1.0f, 1.0f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        const auto f = trueColorFormula(row.colour, row.alphaPercent);
        ASSERT_TRUE(f);
        EXPECT_NEAR(f->redMax, row.red, 1e-6);
        EXPECT_NEAR(f->greenMax, row.green, 1e-6);
        EXPECT_NEAR(f->blueMax, row.blue, 1e-6);
    }
    EXPECT_FALSE(trueColorFormula(Colour::whiteColor(), 25)) << "only the six named colours have a formula";
}

// Each channel runs from the colour's share c·a to c·a + (1 − a); the inputs are clamped.
TEST(BlendFormula, MatchesLayingTheColourOverTheScreen)
{
    EXPECT_EQ(blendFormula(Colour::redColor(), 0.0), TransferFormula{});
    const struct {
        Colour colour;
        double opacity;
        float greenMin, greenMax;
    } rows[] = {{Colour::rgb(1, 0.5, 0), 1.0, 0.5f, 0.5f}, {Colour::grey(0.2), 0.25, 0.05f, 0.8f},
                {Colour::rgb(-1, 2, 0.5), 7.0, 1.0f, 1.0f}, {Colour::rgb(2, -1, 0.5), 7.0, 0.0f, 0.0f}};
    for (const auto& row : rows) {
        const TransferFormula f = blendFormula(row.colour, row.opacity);
        EXPECT_FLOAT_EQ(f.greenMin, row.greenMin) << row.opacity;
        EXPECT_FLOAT_EQ(f.greenMax, row.greenMax) << row.opacity;
    }
}

TEST(Ramps, TablesSpanTheRampAndFormulasRunAlongTheGammaCurveClamped)
{
    const GammaRamp straight = rampFromTable(256, straightTable, straightTable, straightTable);
    const GammaRamp inverted = rampFromTable(256, invertedTable, invertedTable, invertedTable);
    for (std::size_t i = 0; i < 256; ++i) {
        EXPECT_EQ(straight.red[i], static_cast<int>(i * 257)) << "entry i sits at i / 255";
        EXPECT_EQ(straight.blue[i] + inverted.blue[i], 65535) << "inversion mirrors the straight ramp at " << i;
    }

    // A falling channel is allowed; values beyond 1 are clamped.
    const TransferFormula curve{.redMin = 0.1f, .redMax = 0.9f, .redGamma = 2.0f, .greenMin = 1.0f, .greenMax = 0.0f,
                                .blueMax = 3.0f};
    const GammaRamp formula = rampFromFormula(3, curve);
    for (const auto& [i, level] : {std::pair{0, 0.1}, {1, 0.3}, {2, 0.9}})  // 0.3 = 0.1 + 0.8·0.5²
        EXPECT_NEAR(formula.red[i], level * 65535, 1);
    EXPECT_EQ(formula.green, (Ramp{65535, 32768, 0}));
    EXPECT_EQ(formula.blue, (Ramp{0, 65535, 65535}));
    EXPECT_EQ(rampFromFormula(1, curve).red, Ramp{formula.red[0]});
}

}  // namespace
