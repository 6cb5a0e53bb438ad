// The tint service: fades and their interruptions, True Colors on the displays, screens coming and going.

#include "effects/BackgroundDimmerService.h"
#include "effects/DisplayTransfer.h"
#include "effects/ScreenControlService.h"
#include "effects/TransferFormula.h"
#include "fakes/FakeDisplayGamma.h"
#include "fakes/FakeOverlay.h"
#include "fakes/HubFakes.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lunaveil;
using namespace lunaveil::testing;
using namespace std::chrono_literals;

namespace {

class Dimmer : public ::testing::Test {
protected:
    Dimmer()
    {
        gamma.addCrtc(63);
        gamma.addCrtc(64, 1024);
    }

    std::string journalPath() const { return dir.path().toStdString() + "/gamma.journal"; }

    QTemporaryDir dir;
    FakeDisplayGamma gamma;
    DisplayTransfer transfer{gamma, GammaJournal(journalPath())};
    FakeOverlayScreens screens{2};
    FakeCompositor compositor;
    FakeScheduler clock;
    CallLog log;
    BackgroundDimmerService dimmer{screens, &transfer, &compositor, clock,
                                   [this] { return std::make_unique<FakeScreenControl>(log); }};

    const Colour red = Colour::redColor();
    const Colour quarterRed = Colour::redColor().colorWithAlphaComponent(0.25);

    bool calibrated(CrtcId crtc) const
    {
        return gamma.ramps.at(crtc) == FakeDisplayGamma::calibration(crtc, gamma.ramps.at(crtc).size());
    }
    GammaRamp formulaRamp(CrtcId crtc, const Colour& colour, double alpha) const
    {
        return rampFromFormula(gamma.ramps.at(crtc).size(), *trueColorFormula(colour, alpha));
    }
};

TEST_F(Dimmer, BuildsOneHiddenWindowPerScreenAtConstruction)
{
    ASSERT_EQ(screens.current.size(), 2u);
    for (const auto& window : screens.current)
        EXPECT_FALSE(window->shown);
    EXPECT_FALSE(dimmer.serviceIsRunning());
}

TEST_F(Dimmer, PlainStartFadesEveryWindowInAndSetsHalfBrightness)
{
    dimmer.startService(red, 25, false);
    EXPECT_TRUE(dimmer.serviceIsRunning());
    for (const auto& window : screens.current) {
        EXPECT_TRUE(window->shown);
        EXPECT_EQ(window->animations, 1);
        EXPECT_EQ(window->alpha, 1.0);
        EXPECT_EQ(window->fill, quarterRed) << "the fill carries the opacity divided by 100";
    }
    EXPECT_EQ(log, CallLog{"screen.brightness(0.500000)"});
    EXPECT_TRUE(dimmer.animationInProgress());
    clock.advance(500ms);
    EXPECT_FALSE(dimmer.animationInProgress());
}

TEST_F(Dimmer, ChangeOnAStoppedServiceOnlyRecords)
{
    dimmer.changeBackground(Colour::blueColor(), 50, false);
    for (const auto& window : screens.current)
        EXPECT_FALSE(window->shown);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(gamma.sets.empty());
}

TEST_F(Dimmer, ChangeOnARunningPlainTintRefillsAtOnce)
{
    dimmer.startService(red, 25, false);
    clock.advance(1s);
    dimmer.closeBackgroundWindows();
    clock.advance(1s);
    dimmer.changeBackground(Colour::blueColor(), 60, false);
    for (const auto& window : screens.current) {
        EXPECT_TRUE(window->shown) << "closed windows are shown again";
        EXPECT_EQ(window->fill, Colour::blueColor().colorWithAlphaComponent(0.6));
        EXPECT_EQ(window->alpha, 1.0);
    }
    EXPECT_EQ(log.size(), 2u) << "each plain change sets the brightness again";
}

TEST_F(Dimmer, StopSoonAfterStartLeavesThePendingFadeInHarmless)
{
    dimmer.startService(red, 25, false);
    clock.advance(200ms);
    dimmer.stopService();
    const auto window = screens.current.front();
    window->fill.reset();
    clock.advance(300ms);  // the fade-in's end handler runs now
    EXPECT_FALSE(window->fill) << "an interrupted fade-in's handler applies no colour";
    EXPECT_FALSE(dimmer.animationInProgress());

    dimmer.startService(red, 25, false);
    EXPECT_EQ(screens.current.front()->animations, 1) << "after the handler ran, a start fades in again";
}

TEST_F(Dimmer, StartSoonAfterStopShowsTheNewWindowsAtOnce)
{
    dimmer.startService(red, 25, false);
    clock.advance(1s);
    dimmer.stopService();
    clock.advance(100ms);
    dimmer.startService(red, 40, false);
    for (const auto& window : screens.current) {
        EXPECT_TRUE(window->shown);
        EXPECT_EQ(window->animations, 0) << "no fade while the fade-out is pending";
        EXPECT_EQ(window->alpha, 1.0);
        EXPECT_EQ(window->fill, Colour::redColor().colorWithAlphaComponent(0.4));
    }
    clock.advance(1s);  // the pending fade-out's handler leaves them alone
    EXPECT_EQ(screens.current.front()->alpha, 1.0);
    EXPECT_FALSE(dimmer.animationInProgress());
}

TEST_F(Dimmer, TrueColorsShowsNoWindowAndSetsTheFormulaEverySecond)
{
    dimmer.startService(Colour::orangeColor(), 25, true);
    EXPECT_TRUE(dimmer.serviceIsRunning());
    for (const auto& window : screens.current)
        EXPECT_FALSE(window->shown);
    EXPECT_EQ(gamma.ramps.at(63), formulaRamp(63, Colour::orangeColor(), 25));
    EXPECT_EQ(gamma.ramps.at(64), formulaRamp(64, Colour::orangeColor(), 25));
    EXPECT_TRUE(log.empty()) << "True Colors leaves the brightness alone";

    gamma.ramps.at(63) = FakeDisplayGamma::calibration(63, 256);  // another program resets a display
    const auto setsBefore = gamma.sets.size();
    clock.advance(1s);
    EXPECT_EQ(gamma.ramps.at(63), formulaRamp(63, Colour::orangeColor(), 25));
    EXPECT_EQ(gamma.sets.size(), setsBefore + 1) << "only the changed display is set again";
}

TEST_F(Dimmer, TrueColorsWithAnotherColourLeavesTheDisplaysButKeepsTicking)
{
    dimmer.startService(Colour::rgb(193 / 255.0, 125 / 255.0, 209 / 255.0), 25, true);
    clock.advance(3s);
    EXPECT_TRUE(gamma.sets.empty());
    EXPECT_EQ(clock.armed(1000ms), 1u);
}

TEST_F(Dimmer, StopAndPlainModeGiveTheDisplaysBackTheirCalibration)
{
    dimmer.startService(Colour::greenColor(), 80, true);
    dimmer.changeBackground(red, 30, false);
    EXPECT_TRUE(calibrated(63) && calibrated(64));
    EXPECT_EQ(clock.armed(1000ms), 0u) << "plain mode stops re-applying True Colors";

    dimmer.changeBackground(Colour::blackColor(), 100, true);
    EXPECT_EQ(gamma.ramps.at(64), formulaRamp(64, Colour::blackColor(), 100));
    dimmer.stopService();
    EXPECT_TRUE(calibrated(63) && calibrated(64));
    clock.advance(2s);
    EXPECT_TRUE(calibrated(63)) << "no re-application after the stop";
}

TEST_F(Dimmer, ClosingWindowsKeepsTheServiceRunning)
{
    dimmer.startService(Colour::blueColor(), 25, true);
    dimmer.closeBackgroundWindows();
    EXPECT_TRUE(dimmer.serviceIsRunning());
    EXPECT_EQ(clock.armed(1000ms), 0u);
}

TEST_F(Dimmer, ScreenCheckRestartsARunningTintWhenTheCountChanges)
{
    screens.count = 3;
    clock.advance(3s);
    EXPECT_EQ(screens.current.size(), 2u) << "a stopped tint ignores the count";

    dimmer.startService(red, 25, false);
    clock.advance(3s);
    ASSERT_EQ(screens.current.size(), 3u);
    for (const auto& window : screens.current) {
        EXPECT_TRUE(window->shown);
        EXPECT_EQ(window->alpha, 1.0);
    }
    const auto rebuilt = screens.current.front();
    clock.advance(3s);
    EXPECT_EQ(screens.current.front(), rebuilt) << "an unchanged count restarts nothing";
}

TEST_F(Dimmer, ScreenChangesAreCoveredAtOnce)
{
    dimmer.startService(red, 25, false);
    clock.advance(1s);
    screens.count = 1;  // same signal for a resolution or arrangement change
    screens.onScreensChanged();
    ASSERT_EQ(screens.current.size(), 1u);
    EXPECT_TRUE(screens.current.front()->shown);

    dimmer.stopService();
    screens.count = 2;
    screens.onScreensChanged();
    ASSERT_EQ(screens.current.size(), 2u);
    EXPECT_FALSE(screens.current.front()->shown) << "a stopped tint only rebuilds hidden windows";
}

TEST_F(Dimmer, NoScreensAndNoDisplaysBreakNothing)
{
    FakeOverlayScreens none{std::nullopt};
    BackgroundDimmerService bare(none, nullptr, nullptr, clock, [] { return nullptr; });
    bare.startService(red, 25, false);
    bare.changeBackground(Colour::orangeColor(), 25, true);
    clock.advance(4s);
    bare.stopService();
    EXPECT_EQ(bare.windowCount(), 0u);
}

// --- Without a compositor --------------------------------------------------------------------------

class DimmerWithoutCompositor : public Dimmer {
protected:
    DimmerWithoutCompositor() { compositor.active = false; }

    GammaRamp blendRamp(CrtcId crtc, const Colour& colour, double opacity) const
    {
        return rampFromFormula(gamma.ramps.at(crtc).size(), blendFormula(colour, opacity));
    }
    bool blended(const Colour& colour, double opacity) const
    {
        return gamma.ramps.at(63) == blendRamp(63, colour, opacity) && gamma.ramps.at(64) == blendRamp(64, colour, opacity);
    }
};

TEST_F(DimmerWithoutCompositor, PlainTintFadesInThroughTheTransferInsteadOfWindows)
{
    dimmer.startService(red, 40, false);
    for (const auto& window : screens.current)
        EXPECT_FALSE(window->shown) << "an uncomposited translucent window would show as an opaque block";
    clock.advance(250ms);
    EXPECT_TRUE(gamma.ramps.at(63) != blendRamp(63, red, 0.4) && !calibrated(63)) << "part way through the fade";
    clock.advance(250ms);
    EXPECT_TRUE(blended(red, 0.4));
    EXPECT_TRUE(dimmer.blendsThroughTransfer());
    EXPECT_EQ(log, CallLog{"screen.brightness(0.500000)"});

    gamma.ramps.at(64) = FakeDisplayGamma::calibration(64, 1024);  // another program's change
    clock.advance(1s);
    EXPECT_TRUE(blended(red, 0.4)) << "re-applied like True Colors";

    dimmer.changeBackground(Colour::blueColor(), 20, false);
    EXPECT_TRUE(blended(Colour::blueColor(), 0.2)) << "a change applies at once";
}

TEST_F(DimmerWithoutCompositor, StopFadesTheBlendOutAndGivesBackTheCalibration)
{
    dimmer.startService(red, 40, false);
    clock.advance(1s);
    dimmer.stopService();
    EXPECT_FALSE(calibrated(63)) << "fading out";
    clock.advance(500ms);
    EXPECT_TRUE(calibrated(63) && calibrated(64));
    EXPECT_FALSE(dimmer.blendsThroughTransfer());

    dimmer.startService(red, 40, false);
    clock.advance(200ms);
    dimmer.stopService();
    clock.advance(100ms);
    dimmer.startService(red, 40, false);  // back on during the fade-out
    clock.advance(1s);
    EXPECT_TRUE(blended(red, 0.4)) << "the pending fade-out's restore is dropped";
}

TEST_F(DimmerWithoutCompositor, AnInversionIsNotOverwrittenByTheBlend)
{
    dimmer.startService(red, 40, false);
    clock.advance(200ms);
    ScreenControlService(&transfer).setContrast(true);
    dimmer.closeBackgroundWindows();
    clock.advance(2s);
    EXPECT_EQ(gamma.ramps.at(63), rampFromTable(256, invertedTable, invertedTable, invertedTable));
}

TEST_F(DimmerWithoutCompositor, TheTintSwitchesWayLiveWhenACompositorComesAndGoes)
{
    dimmer.startService(red, 40, false);
    clock.advance(1s);
    compositor.set(true);
    EXPECT_TRUE(calibrated(63) && calibrated(64));
    for (const auto& window : screens.current) {
        EXPECT_TRUE(window->shown);
        EXPECT_EQ(window->alpha, 1.0);
        EXPECT_EQ(window->fill, Colour::redColor().colorWithAlphaComponent(0.4));
    }
    clock.advance(2s);
    EXPECT_TRUE(calibrated(63)) << "no blend re-applied while windows show the tint";

    compositor.set(false);
    EXPECT_TRUE(blended(red, 0.4));
    for (const auto& window : screens.current)
        EXPECT_FALSE(window->shown);
}

TEST_F(DimmerWithoutCompositor, TrueColorsAndAStoppedTintIgnoreTheCompositor)
{
    compositor.set(true);
    EXPECT_TRUE(gamma.sets.empty());
    dimmer.startService(Colour::orangeColor(), 25, true);
    compositor.set(false);
    EXPECT_EQ(gamma.ramps.at(63), formulaRamp(63, Colour::orangeColor(), 25));
    for (const auto& window : screens.current)
        EXPECT_FALSE(window->shown);
}

TEST(BlendFormula, MatchesLayingTheColourOverTheScreen)
{
    const TransferFormula none = blendFormula(Colour::redColor(), 0.0);
    EXPECT_EQ(none, TransferFormula{});
    const TransferFormula full = blendFormula(Colour::rgb(1, 0.5, 0), 1.0);
    EXPECT_FLOAT_EQ(full.greenMin, 0.5f);
    EXPECT_FLOAT_EQ(full.greenMax, 0.5f);
    const TransferFormula grey = blendFormula(Colour::grey(0.2), 0.25);
    EXPECT_FLOAT_EQ(grey.blueMin, 0.05f);
    EXPECT_FLOAT_EQ(grey.blueMax, 0.8f);
    const TransferFormula wild = blendFormula(Colour::rgb(2, -1, 0.5), 7.0);
    EXPECT_FLOAT_EQ(wild.redMin, 1.0f);
    EXPECT_FLOAT_EQ(wild.greenMax, 0.0f);
}

TEST(ScreenControl, InvertsThenStraightensEveryOnlineDisplayUpToSixteen)
{
    QTemporaryDir dir;
    FakeDisplayGamma gamma;
    for (CrtcId crtc = 1; crtc <= 17; ++crtc)
        gamma.addCrtc(crtc);
    DisplayTransfer transfer(gamma, GammaJournal(dir.path().toStdString() + "/j"));
    ScreenControlService(&transfer).setContrast(true);
    const GammaRamp inverted = rampFromTable(256, invertedTable, invertedTable, invertedTable);
    ASSERT_EQ(gamma.sets.size(), 16u);
    EXPECT_EQ(gamma.sets.front().first, 1u);
    EXPECT_EQ(gamma.ramps.at(16), inverted);
    EXPECT_EQ(gamma.ramps.at(17), FakeDisplayGamma::calibration(17, 256));

    ScreenControlService(&transfer).setContrast(false);
    EXPECT_EQ(gamma.ramps.at(1), rampFromTable(256, straightTable, straightTable, straightTable))
        << "straight means linear, not the calibration";
    ScreenControlService(nullptr).setContrast(true);  // no display: nothing to do
}

}  // namespace
