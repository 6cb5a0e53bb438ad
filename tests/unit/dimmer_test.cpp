// The tint service: fades and their interruptions, True Colors on the displays, screens coming and going.

#include "effects/BackgroundDimmerService.h"
#include "effects/DisplayTransfer.h"
#include "effects/ScreenControlService.h"
#include "support/FakeCrtcGamma.h"
#include "support/FakeOverlay.h"
#include "support/HubFakes.h"
#include "platform/x11/X11DisplayGamma.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using namespace lunaveil;
using namespace lunaveil::testing;
using namespace std::chrono_literals;

namespace {

struct Dimmer : ::testing::Test {
    // Every window shown at full alpha (in `fill` at `alpha` when given), or every one hidden at alpha 0.
    bool windowsShown(bool shown, std::optional<Colour> fill = {}, double alpha = 0) const
    {
        return std::ranges::all_of(screens.current, [&](const auto& w) {
            return w->shown == shown && w->alpha == (shown ? 1.0 : 0.0)
                   && (!fill || w->fill == fill->colorWithAlphaComponent(alpha));
        });
    }
    // Every display shows this formula at its own ramp size, over the straight ramp or over its calibration.
    bool showing(const TransferFormula& formula, bool overCalibration = false) const
    {
        return std::ranges::all_of(gamma.ramps, [&](const auto& r) {
            const std::size_t size = r.second.size();
            return r.second == (overCalibration
                                    ? rampOverCalibration(size, FakeCrtcGamma::calibration(r.first, size), formula)
                                    : rampFromFormula(size, formula));
        });
    }
    bool blended(const Colour& colour, double opacity) const { return showing(blendFormula(colour, opacity), true); }
    // The identity formula over the calibration is the calibration itself, as the transfer test proves.
    bool calibrated() const { return showing(TransferFormula{}, true); }
    // The plain tint as it should show: in windows over calibrated displays, or without a compositor blended.
    bool plainTint(const Colour& colour, double opacity) const
    {
        return compositor.active ? windowsShown(true, colour, opacity) && calibrated()
                                 : windowsShown(false) && blended(colour, opacity);
    }

    QTemporaryDir dir;
    FakeCrtcGamma gamma{{63, 256}, {64, 1024}};
    X11DisplayGamma x11{
        gamma, GammaJournal(std::make_shared<const RuntimeFolder>(RuntimeFolder::open(dir.path().toStdString(), false)), "0")};
    DisplayTransfer transfer{x11};
    FakeOverlayScreens screens{2};
    FakeCompositor compositor;
    FakeScheduler clock;
    ScreenState screen;
    BackgroundDimmerService dimmer{&screens, &transfer, &compositor, clock,
                                   [this] { return std::make_unique<FakeScreenControl>(screen); }};
    const Colour red = Colour::redColor();
};

// With a compositor the plain tint fades windows in and out; without one an uncomposited
// translucent window would show as an opaque block, so it fades through the displays' transfer.
TEST_F(Dimmer, ThePlainTintFadesInAndOutThroughWindowsOrWithoutACompositorThroughTheDisplays)
{
    dimmer.changeBackground(Colour::blueColor(), 50, false);
    EXPECT_TRUE(windowsShown(false) && gamma.sets == 0 && !screen.brightness) << "a change to a stopped tint only records";
    for (const bool composited : {true, false}) {
        SCOPED_TRACE(composited);
        compositor.active = composited;
        dimmer.startService(red, 40, false);
        EXPECT_EQ(screen.brightness, 0.5f);
        clock.advance(250ms);
        if (!composited) {
            EXPECT_FALSE(blended(red, 0.4) || calibrated()) << "part way through the fade";
        }
        clock.advance(250ms);
        EXPECT_TRUE(plainTint(red, 0.4));
        gamma.ramps.at(64) = FakeCrtcGamma::calibration(64, 1024);  // another program's change
        clock.advance(1s);
        EXPECT_TRUE(plainTint(red, 0.4)) << "the blend is re-applied like True Colors";
        dimmer.changeBackground(Colour::blueColor(), 20, false);
        EXPECT_TRUE(plainTint(Colour::blueColor(), 0.2)) << "a change to a running tint applies at once";

        dimmer.stopService();
        EXPECT_FALSE(screen.brightness) << "a stop gives the backlights back";
        clock.advance(100ms);
        dimmer.startService(red, 40, false);  // back on during the fade-out
        clock.advance(1s);
        EXPECT_TRUE(plainTint(red, 0.4)) << "the pending fade-out's end leaves the new tint alone";

        dimmer.stopService();
        clock.advance(1s);
        EXPECT_TRUE(windowsShown(false) && calibrated());
        dimmer.startService(red, 40, false);
        clock.advance(200ms);
        dimmer.stopService();
        clock.advance(1s);
        EXPECT_TRUE(windowsShown(false) && calibrated()) << "an interrupted fade-in's end shows nothing";
    }
}

TEST_F(Dimmer, TrueColorsHoldsItsFormulaOnTheDisplaysWhateverTheCompositorDoesUntilPlainModeOrAStop)
{
    compositor.set(false);
    compositor.set(true);
    EXPECT_EQ(gamma.sets, 0) << "a stopped tint ignores the compositor";
    const TransferFormula orange = *trueColorFormula(Colour::orangeColor(), 25);
    dimmer.startService(Colour::orangeColor(), 25, true);
    EXPECT_TRUE(dimmer.serviceIsRunning() && windowsShown(false) && showing(orange));
    EXPECT_FALSE(screen.brightness) << "True Colors leaves the brightness alone";
    for (const bool composited : {false, true}) {
        compositor.set(composited);
        EXPECT_TRUE(showing(orange) && windowsShown(false)) << "the compositor laid the overlay over True Colors";
    }

    dimmer.changeBackground(red, 30, false);
    EXPECT_TRUE(plainTint(red, 0.3)) << "plain mode gives the displays back their calibration";
    dimmer.changeBackground(Colour::blackColor(), 100, true);
    EXPECT_TRUE(showing(*trueColorFormula(Colour::blackColor(), 100)) && windowsShown(false));
    dimmer.stopService();
    clock.advance(2s);
    EXPECT_TRUE(calibrated()) << "a stop gives the calibration back for good";
}

TEST_F(Dimmer, AnInversionIsOverwrittenNeitherByTrueColorsNorByTheBlend)
{
    const GammaRamp inverted = rampFromTable(1024, invertedTable, invertedTable, invertedTable);
    compositor.set(false);  // the plain tint goes through the displays too
    for (const bool trueColor : {true, false}) {
        dimmer.startService(Colour::blueColor(), 25, trueColor);
        clock.advance(200ms);  // the blend is fading in
        dimmer.closeBackgroundWindows();  // as inverting does
        ScreenControlService(&transfer).setContrast(true);
        clock.advance(2s);
        EXPECT_EQ(gamma.ramps.at(64), inverted) << trueColor;
    }
    ScreenControlService(&transfer).setContrast(false);
    EXPECT_EQ(gamma.ramps.at(63), rampFromTable(256, straightTable, straightTable, straightTable))
        << "straightening means linear, not the calibration";

    // A plain tint's windows closed by the inversion stay closed whatever the screens and the compositor do.
    compositor.set(true);
    dimmer.startService(red, 40, false);
    dimmer.closeBackgroundWindows();
    ScreenControlService(&transfer).setContrast(true);
    for (const bool composited : {false, true}) {
        screens.count = composited ? 3 : 2;
        screens.onScreensChanged();
        compositor.set(composited);
        clock.advance(4s);
        EXPECT_TRUE(windowsShown(false) && dimmer.serviceIsRunning());
        EXPECT_EQ(gamma.ramps.at(64), inverted);
    }
}

// A monitor plugged in (or any change of the screens) gets the tint in force, and the others keep
// theirs untouched: no restart, no flash, no backlight given back.
TEST_F(Dimmer, AMonitorPluggedInIsTintedAndTheOthersAreLeftAlone)
{
    const struct {
        bool composited, trueColor;
        Colour colour;
        double opacity;
    } tints[] = {{true, false, red, 25}, {false, false, red, 40}, {true, true, Colour::orangeColor(), 25}};
    CrtcId plugged = 65;
    for (const auto& tint : tints) {
        SCOPED_TRACE(&tint - tints);
        compositor.active = tint.composited;
        const auto tinted = [&] {
            return tint.trueColor ? windowsShown(false) && showing(*trueColorFormula(tint.colour, tint.opacity))
                                  : plainTint(tint.colour, tint.opacity / 100);
        };
        dimmer.startService(tint.colour, tint.opacity, tint.trueColor);
        clock.advance(1s);
        int setsOnTheOthers = 0;
        gamma.beforeSet = [&](CrtcId crtc) { setsOnTheOthers += crtc != plugged; };
        screens.count = static_cast<int>(gamma.online.size()) + 1;
        gamma.addCrtc(plugged);  // as a monitor plugged in
        gamma.onCrtcsChanged();
        screens.onScreensChanged();
        clock.advance(1s);
        EXPECT_EQ(setsOnTheOthers, 0) << "the other monitors flashed their own colours";
        EXPECT_TRUE(screens.current.size() == gamma.online.size() && tinted()) << "the new monitor is tinted too";
        EXPECT_EQ(screen.restores, 0) << "a restart leaves the backlights dimmed";
        gamma.beforeSet = nullptr;
        dimmer.stopService();
        clock.advance(1s);
        screen.restores = 0;
        screens.onScreensChanged();
        EXPECT_TRUE(windowsShown(false) && calibrated()) << "a stopped tint only rebuilds hidden windows";
        ++plugged;
    }
}

TEST_F(Dimmer, WhereThePlatformOffersOnePresentationOrNoneTheTintUsesWhatThereIs)
{
    // No display gamma: True Colors is shown as the overlay, in its own colour; the setting stays True Colors.
    BackgroundDimmerService overlayOnly(&screens, nullptr, nullptr, clock, [] { return nullptr; });
    overlayOnly.startService(Colour::orangeColor(), 25, true);
    EXPECT_TRUE(windowsShown(true, Colour::orangeColor(), 0.25));
    overlayOnly.stopService();

    // No overlay windows: the plain tint is the blend, however well windows would blend.
    BackgroundDimmerService gammaOnly(nullptr, &transfer, &compositor, clock, [] { return nullptr; });
    gammaOnly.startService(red, 40, false);
    clock.advance(1s);
    EXPECT_TRUE(blended(red, 0.4));
    gammaOnly.stopService();

    // Neither (screens that cannot be counted, no display gamma): nothing to show, and nothing breaks.
    FakeOverlayScreens none{std::nullopt};
    BackgroundDimmerService bare(&none, nullptr, nullptr, clock, [] { return nullptr; });
    bare.startService(red, 25, false);
    bare.changeBackground(Colour::orangeColor(), 25, true);
    clock.advance(4s);
    EXPECT_TRUE(bare.serviceIsRunning());
    bare.stopService();
    ScreenControlService(nullptr).setContrast(true);
}

}  // namespace
