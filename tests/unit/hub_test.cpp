// The hub's start sequence and tint rules, driven through recording collaborators and a real settings file.

#include "fakes/HubFakes.h"
#include "schedule/DateTimeMonitor.h"
#include "shell/AppDelegate.h"
#include "shell/PresetersMainHub.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using namespace lunaveil;
using namespace lunaveil::testing;

namespace {

class Hub : public ::testing::Test {
protected:
    HubServices services()
    {
        HubServices s;
        s.makeSettings = [this] { return std::make_unique<SettingsDataAccess>(settingsFile()); };
        s.makeDimmer = [this] { return own(dimmer, log); };
        s.makePresenter = [this] { return own(presenter, log); };
        s.makeScheduleMonitor = [this] { return own(monitor, log); };
        s.makeScreenControl = [this] { return std::make_unique<FakeScreenControl>(log); };
        s.makeLoginItem = [this] { return std::make_unique<FakeLoginItem>(log); };
        s.makeGreetingsWindow = [this] { return std::make_unique<FakeGreetingsWindow>(log); };
        s.makeHelpWindow = [this] {
            ++helpWindowsMade;
            return std::make_unique<FakeHelpWindow>(log);
        };
        s.makeColourPanel = [this] { return own(panel, log); };
        s.makeAlert = [this](const std::string& message, const std::string& informative) {
            return std::make_unique<FakeAlert>(log, message + "|" + informative);
        };
        s.quit = [this] { log.push_back("quit"); };
        return s;
    }

    template <typename T>
    static std::unique_ptr<T> own(T*& observer, CallLog& log)
    {
        auto made = std::make_unique<T>(log);
        observer = made.get();
        return made;
    }

    std::filesystem::path settingsFile() const { return std::filesystem::path(dir.path().toStdString()) / "s.json"; }
    SettingsDataAccess settings() const { return SettingsDataAccess(settingsFile()); }

    PresetersMainHub& start()
    {
        hub = std::make_unique<PresetersMainHub>(services());
        hub->startService();
        log.clear();
        return *hub;
    }
    bool logged(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
    std::ptrdiff_t count(const std::string& entry) const { return std::count(log.begin(), log.end(), entry); }

    QTemporaryDir dir;
    CallLog log;
    FakeDimmer* dimmer = nullptr;
    FakePresenter* presenter = nullptr;
    FakeScheduleMonitor* monitor = nullptr;
    FakeColourPanel* panel = nullptr;
    int helpWindowsMade = 0;
    std::unique_ptr<PresetersMainHub> hub;
};

// --- Start sequence -------------------------------------------------------------------------------

TEST_F(Hub, FirstRunGreetsThenLoadsTheDefaults)
{
    PresetersMainHub h(services());
    h.startService();
    const CallLog expected{"greetings.show", "presenter.start", "monitor.start"};
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(settings().getFirstTimeOpened());

    ASSERT_TRUE(presenter->started);
    const auto& s = *presenter->started;
    EXPECT_EQ(s.colour, Colour::orangeColor()) << "True Colors is on by default, so its colour is current";
    EXPECT_EQ(s.alpha, 25.0);
    EXPECT_TRUE(s.scheduleIsActive && s.trueColor);
    EXPECT_FALSE(s.startAtLogin || s.lightMonitorNowIsEnabled || s.inverseColorsIsEnabled);
    EXPECT_EQ(localMinuteOfDay(s.start), 22 * 60);
    EXPECT_EQ(localMinuteOfDay(s.stop), 7 * 60);
    EXPECT_TRUE(monitor->onDuringInterval && monitor->onOutsideInterval);
    EXPECT_FALSE(dimmer->running) << "the tint never starts at launch";
}

TEST_F(Hub, LaterRunsSkipGreetingsAndTakeTheStoredState)
{
    {
        auto stored = settings();
        stored.setFirstTimeOpened(true);
        stored.setTrueColor(false);
        stored.setBackgroundColor(Colour::blueColor());
        stored.setBackgroundAlpha(42);
        stored.setScheduleIsActive(false, DateTimeMonitor::dateFromComponents(21, 0),
                                   DateTimeMonitor::dateFromComponents(6, 0));
    }
    PresetersMainHub h(services());
    h.startService();
    EXPECT_FALSE(logged("greetings.show"));
    EXPECT_EQ(presenter->started->colour, Colour::blueColor());
    EXPECT_EQ(presenter->started->alpha, 42);
    EXPECT_FALSE(presenter->started->trueColor);
    EXPECT_EQ(localMinuteOfDay(presenter->started->start), 21 * 60);
    EXPECT_TRUE(logged("monitor.stop"));
    EXPECT_FALSE(monitor->onDuringInterval || monitor->onOutsideInterval);
}

TEST_F(Hub, DelegateOpensThePopoverUnlessLaunchedWithPsn)
{
    const auto opens = [this](QStringList arguments) {
        log.clear();
        AppDelegate delegate(services());
        delegate.applicationDidFinishLaunching(arguments);
        return logged("presenter.showPopover");
    };
    const QString self = QStringLiteral("/usr/bin/lunaveil");
    EXPECT_TRUE(opens({self}));
    EXPECT_FALSE(opens({self, QStringLiteral("-psn_0_12345")}));
    EXPECT_FALSE(opens({self, QStringLiteral("--verbose"), QStringLiteral("-psn_")}));
    EXPECT_TRUE(opens({self, QStringLiteral("-psn")}));
    EXPECT_TRUE(opens({self, QStringLiteral("x-psn_1")}));
    EXPECT_TRUE(opens({self, QStringLiteral("RestartedFromHelper")}));
}

// --- Colour, opacity and mode ---------------------------------------------------------------------

TEST_F(Hub, ChoosingTrueColorsWithoutAColourTakesItsStoredColour)
{
    settings().setBackgroundTrueColor(Colour::greenColor());
    start();
    hub->onBackgroundColorChanged(std::nullopt, true);
    EXPECT_EQ(presenter->selected, Colour::greenColor());
    EXPECT_EQ(dimmer->lastColour, Colour::greenColor());
    EXPECT_TRUE(dimmer->lastTrueColor);
    EXPECT_TRUE(settings().getTrueColor());
}

TEST_F(Hub, AColourChangeWhileOffIsRecordedAndStoredForItsMode)
{
    start();
    hub->onBackgroundColorChanged(Colour::redColor(), false);
    EXPECT_FALSE(presenter->selected) << "a colour from a click is not sent back";
    EXPECT_EQ(log, CallLog{"dimmer.change"});
    EXPECT_EQ(settings().getBackgroundColor(), Colour::redColor());
    EXPECT_EQ(settings().getBackgroundTrueColor(), Colour::orangeColor()) << "each mode keeps its own colour";
    EXPECT_FALSE(settings().getTrueColor());

    hub->onLightMonitorNowChanged(true);
    EXPECT_EQ(dimmer->lastColour, Colour::redColor());
    EXPECT_FALSE(dimmer->lastTrueColor);
}

TEST_F(Hub, ChangesWhileTheTintRunsEndAnInversion)
{
    start();
    hub->onLightMonitorNowChanged(true);
    hub->onInverseColorsChanged(true);
    log.clear();
    hub->onBackgroundAlphaChanged(70);
    EXPECT_EQ(log, (CallLog{"presenter.invert(off)", "dimmer.change"}));
    EXPECT_EQ(dimmer->lastAlpha, 70);

    hub->onInverseColorsChanged(true);
    log.clear();
    hub->onBackgroundColorChanged(Colour::yellowColor(), true);
    EXPECT_EQ(log, (CallLog{"presenter.invert(off)", "dimmer.change"}));
}

TEST_F(Hub, OpacityIsStoredAtOnceEvenWhileOff)
{
    start();
    hub->onBackgroundAlphaChanged(61.5);
    EXPECT_EQ(settings().getBackgroundAlpha(), 61.5);
    EXPECT_EQ(dimmer->lastAlpha, 61.5);
    EXPECT_FALSE(logged("presenter.invert(off)"));
}

TEST_F(Hub, CustomColourPanelOpensOnceAndEveryPickIsAPlainColour)
{
    start();
    const Colour lilac = Colour::rgb(193 / 255.0, 125 / 255.0, 209 / 255.0, 1, ColourSpace::DeviceRGB);
    hub->onBackgroundCustomColorSelected(lilac);
    EXPECT_EQ(log, (CallLog{"panel.setColor", "panel.front"}));
    hub->onBackgroundCustomColorSelected(Colour::redColor());
    EXPECT_EQ(count("panel.setColor"), 1);
    EXPECT_EQ(panel->shown, lilac) << "a later request only brings the panel forward";

    const Colour teal = Colour::rgb(0, 0.5, 0.5, 1, ColourSpace::DeviceRGB);
    panel->pick(teal);
    EXPECT_EQ(presenter->customColour, teal);
    EXPECT_EQ(dimmer->lastColour, teal);
    EXPECT_FALSE(dimmer->lastTrueColor);
    EXPECT_EQ(settings().getBackgroundColor(), teal);
    EXPECT_FALSE(settings().getTrueColor());
}

// --- Tint and invert switches ---------------------------------------------------------------------

TEST_F(Hub, TintSwitchStartsOnlyAStoppedTintAndStopsIt)
{
    start();
    hub->onLightMonitorNowChanged(true);
    EXPECT_EQ(log, (CallLog{"presenter.invert(off)", "dimmer.start"}));
    log.clear();
    hub->onLightMonitorNowChanged(true);
    EXPECT_EQ(log, CallLog{"presenter.invert(off)"}) << "a running tint is not restarted";
    log.clear();
    hub->onLightMonitorNowChanged(false);
    EXPECT_EQ(log, (CallLog{"presenter.invert(off)", "presenter.invert(off)", "dimmer.stop"}));
    EXPECT_FALSE(dimmer->running);
}

TEST_F(Hub, InvertClosesTheOverlayAndBringsItBackOnlyForARunningTint)
{
    start();
    hub->onInverseColorsChanged(true);
    EXPECT_EQ(log, (CallLog{"screen.invert", "dimmer.close"}));
    log.clear();
    hub->onInverseColorsChanged(false);
    EXPECT_EQ(log, CallLog{"screen.straight"}) << "no tint was on, so none starts";

    hub->onLightMonitorNowChanged(true);
    hub->onInverseColorsChanged(true);
    log.clear();
    hub->onInverseColorsChanged(false);
    EXPECT_EQ(log, (CallLog{"screen.straight", "dimmer.start"}));
}

TEST_F(Hub, InvertOffBringsBackTheSchedulesTint)
{
    start();
    monitor->tick(true);  // the schedule switches the tint on
    ASSERT_TRUE(dimmer->running);
    hub->onInverseColorsChanged(true);
    log.clear();
    hub->onInverseColorsChanged(false);
    EXPECT_EQ(log, (CallLog{"screen.straight", "dimmer.start"})) << "the tint switch shows on, so the tint comes back";
}

// --- The schedule -------------------------------------------------------------------------------

TEST_F(Hub, ScheduleSwitchesTheTintAtEachBoundary)
{
    start();
    monitor->tick(false);
    monitor->tick(false);
    EXPECT_FALSE(dimmer->running);

    monitor->tick(true);  // evening: the interval begins
    EXPECT_TRUE(dimmer->running);
    EXPECT_EQ(presenter->tintCheckBox, true);
    EXPECT_EQ(count("dimmer.start"), 1);
    monitor->tick(true);
    EXPECT_EQ(count("dimmer.start"), 1) << "a running tint is left alone";

    monitor->tick(false);  // morning: the interval ends
    EXPECT_FALSE(dimmer->running);
    EXPECT_EQ(presenter->tintCheckBox, false);
    monitor->tick(true);  // next evening
    EXPECT_TRUE(dimmer->running);
}

TEST_F(Hub, UserSwitchingOffInsideHoldsUntilTheNextInterval)
{
    start();
    monitor->tick(true);
    hub->onLightMonitorNowChanged(false);
    monitor->tick(true);
    monitor->tick(true);
    EXPECT_FALSE(dimmer->running) << "the user's choice holds for the rest of the interval";

    monitor->tick(false);
    monitor->tick(false);
    monitor->tick(true);
    EXPECT_TRUE(dimmer->running) << "the schedule takes over at the next interval";
}

TEST_F(Hub, UserSwitchingOnOutsideHoldsThroughTheNextIntervalUntilItEnds)
{
    start();
    monitor->tick(false);
    hub->onLightMonitorNowChanged(true);
    monitor->tick(false);
    monitor->tick(false);
    EXPECT_TRUE(dimmer->running);

    monitor->tick(true);
    monitor->tick(true);
    EXPECT_TRUE(dimmer->running);
    EXPECT_EQ(count("dimmer.start"), 1);

    monitor->tick(false);  // the first tick after that interval
    EXPECT_FALSE(dimmer->running);
}

TEST_F(Hub, UserSwitchingOnJustAfterTheIntervalEndsStaysOn)
{
    start();
    monitor->tick(true);
    monitor->tick(false);
    hub->onLightMonitorNowChanged(true);
    monitor->tick(false);
    EXPECT_TRUE(dimmer->running);
}

TEST_F(Hub, InsideTickWithInvertOnShowsTheSwitchButStartsNoOverlay)
{
    start();
    hub->onInverseColorsChanged(true);
    log.clear();
    monitor->tick(true);
    monitor->tick(true);
    EXPECT_EQ(log, (CallLog{"presenter.tint(on)", "presenter.tint(on)"}));
    hub->onInverseColorsChanged(false);
    monitor->tick(true);
    EXPECT_TRUE(dimmer->running);
}

TEST_F(Hub, SwitchingTheScheduleOffLeavesItsTintOnAndStopsTheTicks)
{
    start();
    monitor->tick(true);
    const TimePoint start = DateTimeMonitor::dateFromComponents(19, 30);
    const TimePoint stop = DateTimeMonitor::dateFromComponents(5, 0);
    hub->onScheduleIsActivePreferencesChanged(false, start, stop);
    EXPECT_TRUE(dimmer->running);
    EXPECT_FALSE(monitor->running);
    EXPECT_FALSE(monitor->onDuringInterval || monitor->onOutsideInterval);
    const Schedule stored = settings().getSchedule();
    EXPECT_FALSE(stored.isActive);
    EXPECT_EQ(stored.start, start);
    EXPECT_EQ(stored.stop, stop);

    hub->onScheduleIsActivePreferencesChanged(true, start, stop);
    EXPECT_TRUE(monitor->running);
    EXPECT_TRUE(monitor->onDuringInterval && monitor->onOutsideInterval);
}

// --- Windows, alerts, login, quit -----------------------------------------------------------------

TEST_F(Hub, HelpWindowIsMadeOnceAndThenBroughtForward)
{
    start();
    hub->onHelpRequest();
    hub->onHelpRequest();
    EXPECT_EQ(helpWindowsMade, 1);
    EXPECT_EQ(log, (CallLog{"help.show", "help.focus"}));
}

TEST_F(Hub, ExplanatoryAlertsCarryTheirTexts)
{
    start();
    hub->onInverseColorsHelpRequest();
    hub->onTrueColorsHelpRequest();
    EXPECT_EQ(log, (CallLog{"alert:Invert Colors|Use this option if you are working in a very dark room. It will "
                            "help your eyes adapt and see better",
                            "alert:True Colors|Use this option to change the real (hardware enabled) spectrum of "
                            "your display."}));
}

TEST_F(Hub, StartAtLoginIsStoredAndRegisteredEachTime)
{
    start();
    hub->onStartAtLoginPreferencesChanged(true);
    EXPECT_TRUE(settings().getStartAtLogin());
    hub->onStartAtLoginPreferencesChanged(false);
    EXPECT_FALSE(settings().getStartAtLogin());
    EXPECT_EQ(log, (CallLog{"login.on", "login.off"}));
}

TEST_F(Hub, PresenterCallbacksReachTheHub)
{
    start();
    presenter->onBackgroundAlphaChanged(12);
    presenter->onLightMonitorNowChanged(true);
    presenter->onQuitRequest();
    EXPECT_EQ(settings().getBackgroundAlpha(), 12);
    EXPECT_TRUE(dimmer->running);
    EXPECT_EQ(log.back(), "quit");
}

}  // namespace
