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
    FakeScheduler clock;
    CallLog log;
    BackgroundDimmerService dimmer{screens, &transfer, clock, [this] { return std::make_unique<FakeScreenControl>(log); }};

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
    BackgroundDimmerService bare(none, nullptr, clock, [] { return nullptr; });
    bare.startService(red, 25, false);
    bare.changeBackground(Colour::orangeColor(), 25, true);
    clock.advance(4s);
    bare.stopService();
    EXPECT_EQ(bare.windowCount(), 0u);
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
