// The hub's start sequence and tint rules, driven through the presenter's callbacks, recording
// collaborators and a real settings file.

#include "support/HubFakes.h"
#include "schedule/DateTimeMonitor.h"
#include "shell/AppDelegate.h"
#include "shell/LunaveilService.h"
#include "shell/PresetersMainHub.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

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
        s.makeScheduleMonitor = [this] { return own(monitor); };
        s.makeScreenControl = [this] { return std::make_unique<FakeScreenControl>(log); };
        s.makeGreetingsWindow = [this] { return own(greetings, log); };
        s.makeHelpWindow = [this] { return std::make_unique<FakeHelpWindow>(log); };
        s.makeColourPanel = [this] { return own(panel, log); };
        s.makeLoginItem = [this] { return std::make_unique<FakeLoginItem>(log, loginProblem); };
        s.effectsOffered = offered;
        s.locate = [this] { return located; };
        s.makeAlert = [this](const std::string&, const std::string& informativeText) {
            log.push_back("alert: " + informativeText);
            return std::make_unique<FakeAlert>();
        };
        return s;
    }

    template <typename T, typename... Args>
    static std::unique_ptr<T> own(T*& observer, Args&... args)
    {
        auto made = std::make_unique<T>(args...);
        observer = made.get();
        return made;
    }

    std::filesystem::path settingsFile() const { return std::filesystem::path(dir.path().toStdString()) / "s.json"; }
    SettingsDataAccess settings() const { return SettingsDataAccess(settingsFile()); }

    // A started hub, with the log cleared; the user's actions reach it through the presenter.
    FakePresenter& start()
    {
        hub = std::make_unique<PresetersMainHub>(services());
        hub->startService();
        log.clear();
        return *presenter;
    }
    // Plays events in order: a schedule tick inside ('i') or outside ('o') the interval, or the user
    // switching the tint on ('+') or off ('-'). Gives the tint after each event: on ('1') or off ('0'),
    // or '?' where the tint switch shows otherwise.
    std::string play(std::string_view events)
    {
        std::string tint;
        for (const char event : events) {
            if (event == '+' || event == '-') {
                presenter->tintSwitch = event == '+';  // the user clicks the switch
                presenter->onLightMonitorNowChanged(presenter->tintSwitch);
            } else {
                monitor->tick(event == 'i');
            }
            tint += dimmer->running != presenter->tintSwitch ? '?' : dimmer->running ? '1' : '0';
        }
        return tint;
    }

    QTemporaryDir dir;
    CallLog log;
    FakeDimmer* dimmer = nullptr;
    FakePresenter* presenter = nullptr;
    FakeGreetingsWindow* greetings = nullptr;
    FakeScheduleMonitor* monitor = nullptr;
    FakeColourPanel* panel = nullptr;
    std::optional<std::string> loginProblem;
    EffectsOffered offered;
    PlaceAnswer located{Coordinates{52.52, 13.405}};
    std::unique_ptr<PresetersMainHub> hub;
};

TEST_F(Hub, AStartAtLoginThatCannotHappenIsNeitherShownNorStoredAsOn)
{
    FakePresenter& shown = start();
    loginProblem = "it contains a per-cent sign.";
    shown.onStartAtLoginPreferencesChanged(true);
    EXPECT_EQ(log, (CallLog{"login(on)", "presenter.login(off)", "alert: The reason: it contains a per-cent sign."}));
    EXPECT_FALSE(settings().getStartAtLogin());

    loginProblem.reset();
    log.clear();
    shown.onStartAtLoginPreferencesChanged(true);
    EXPECT_EQ(log, CallLog{"login(on)"});
    EXPECT_TRUE(settings().getStartAtLogin());
}

// A damaged settings file is set aside and the user told where it was kept, once the tray runs.
TEST_F(Hub, ADamagedSettingsFileIsToldOfOnceWithWhereItWasKept)
{
    {
        std::ofstream(settingsFile()) << "{ damaged";
    }
    PresetersMainHub hub(services());
    hub.startService();
    const auto isNotice = [](const std::string& call) { return call.starts_with("presenter.notice"); };
    EXPECT_EQ(std::ranges::count_if(log, isNotice), 1);
    const auto notice = std::ranges::find_if(log, isNotice);
    ASSERT_NE(notice, log.end());
    EXPECT_LT(std::ranges::find(log, std::string("presenter.start")), notice) << "told before the tray runs";
    EXPECT_NE(notice->find(settingsFile().string() + ".damaged-"), std::string::npos) << *notice;
}

TEST_F(Hub, GreetsOnlyOnTheFirstRunAndStartsFromTheStoredSettings)
{
    PresetersMainHub first(services());
    first.startService();
    EXPECT_EQ(log, (CallLog{"greetings.show", "presenter.start"}));
    // The popover waits for the greetings to close, and opens once for any number of asks.
    first.showPopover();
    presenter->onOpenWithoutTrayRequest();
    EXPECT_EQ(log.back(), "presenter.start");
    greetings->onClosed();
    EXPECT_EQ(log.back(), "presenter.showPopover");
    greetings->onClosed();
    first.showPopover();
    EXPECT_EQ(std::ranges::count(log, std::string("presenter.showPopover")), 2);
    log.clear();
    ASSERT_TRUE(presenter->started);
    EXPECT_EQ(presenter->started->colour, Colour::orangeColor()) << "True Colors is on by default, so its colour is current";
    EXPECT_TRUE(presenter->started->trueColor && monitor->running);
    EXPECT_FALSE(dimmer->running) << "the tint never starts at launch";

    {
        auto stored = settings();
        stored.setTrueColor(false);
        stored.setBackgroundColor(Colour::blueColor());
        stored.setScheduleIsActive(false, DateTimeMonitor::dateFromComponents(21, 0),
                                   DateTimeMonitor::dateFromComponents(6, 0));
    }
    log.clear();
    PresetersMainHub later(services());
    later.startService();
    EXPECT_EQ(log, CallLog{"presenter.start"});
    EXPECT_EQ(presenter->started->colour, Colour::blueColor());
    EXPECT_FALSE(presenter->started->trueColor || monitor->running);
}

TEST_F(Hub, DelegateOpensThePopoverUnlessLaunchedWithPsn)
{
    const std::pair<const char*, bool> cases[] = {
        {"", true}, {"-psn_0_12345", false}, {"-psn", true}, {"x-psn_1", true}};
    settings().setFirstTimeOpened(true);  // no greetings to wait for
    for (const auto& [argument, opens] : cases) {
        log.clear();
        AppDelegate delegate(services());
        delegate.applicationDidFinishLaunching({QStringLiteral("/usr/bin/lunaveil"), QString::fromLatin1(argument)});
        EXPECT_EQ(std::ranges::count(log, "presenter.showPopover"), opens) << argument;
    }
}

// --- Colour, opacity and mode ---------------------------------------------------------------------

TEST_F(Hub, EachModeKeepsItsOwnColourAndChangesToARunningTintEndAnInversion)
{
    settings().setBackgroundTrueColor(Colour::greenColor());
    FakePresenter& p = start();
    p.onBackgroundColorChanged(Colour::redColor(), false);
    p.onBackgroundAlphaChanged(61.5);
    EXPECT_EQ(log, (CallLog{"dimmer.change", "dimmer.change"})) << "recorded while off, with no inversion to end";
    EXPECT_FALSE(presenter->selected) << "a clicked colour is not sent back";
    EXPECT_EQ(settings().getBackgroundColor(), Colour::redColor());
    EXPECT_EQ(settings().getBackgroundTrueColor(), Colour::greenColor());
    EXPECT_EQ(settings().getBackgroundAlpha(), 61.5);

    p.onLightMonitorNowChanged(true);
    p.onInverseColorsChanged(true);
    log.clear();
    p.onBackgroundColorChanged(std::nullopt, true);  // True Colors chosen without a colour takes its stored one
    EXPECT_EQ(log, (CallLog{"presenter.invert(off)", "dimmer.change"}));
    EXPECT_EQ(presenter->selected, Colour::greenColor());
    EXPECT_TRUE(dimmer->last.colour == Colour::greenColor() && dimmer->last.alpha == 61.5 && dimmer->last.trueColor);
    EXPECT_TRUE(settings().getTrueColor());

    p.onInverseColorsChanged(true);
    log.clear();
    p.onBackgroundAlphaChanged(70);
    EXPECT_EQ(log, (CallLog{"presenter.invert(off)", "dimmer.change"}));
}

TEST_F(Hub, CustomColourPanelOpensOnceAndEveryPickIsAPlainColour)
{
    FakePresenter& p = start();
    p.onBackgroundCustomColorSelected(Colour::blueColor());
    p.onBackgroundCustomColorSelected(Colour::redColor());
    EXPECT_EQ(log, (CallLog{"panel.setColor", "panel.front", "panel.front"}))
        << "a later request only brings the panel forward";
    EXPECT_EQ(panel->shown, Colour::blueColor());

    const Colour teal = Colour::rgb(0, 0.5, 0.5, 1, ColourSpace::DeviceRGB);
    panel->pick(teal);
    EXPECT_EQ(presenter->customColour, teal);
    EXPECT_TRUE(dimmer->last.colour == teal && !dimmer->last.trueColor);
    EXPECT_TRUE(settings().getBackgroundColor() == teal && !settings().getTrueColor());
}

// --- Tint and invert switches, and the schedule ----------------------------------------------------

TEST_F(Hub, InvertClosesTheOverlayAndStraighteningBringsBackOnlyARunningTint)
{
    FakePresenter& p = start();
    p.onInverseColorsChanged(true);
    EXPECT_EQ(log, (CallLog{"screen.invert", "dimmer.close"}));
    log.clear();
    p.onInverseColorsChanged(false);
    EXPECT_EQ(log, CallLog{"screen.straight"}) << "no tint was on, so none starts";

    p.onInverseColorsChanged(true);
    log.clear();
    p.onLightMonitorNowChanged(true);
    EXPECT_EQ(log, (CallLog{"presenter.invert(off)", "dimmer.start"})) << "the tint switch ends an inversion";
    p.onInverseColorsChanged(true);
    log.clear();
    p.onInverseColorsChanged(false);
    EXPECT_EQ(log, (CallLog{"screen.straight", "dimmer.start"}));
}

TEST_F(Hub, InvertOffBringsBackTheSchedulesTintAndAnInsideTickWhileInvertedStartsNoOverlay)
{
    FakePresenter& p = start();
    monitor->tick(true);  // the schedule switches the tint on
    p.onInverseColorsChanged(true);
    log.clear();
    p.onInverseColorsChanged(false);
    EXPECT_EQ(log, (CallLog{"screen.straight", "dimmer.start"})) << "the tint switch shows on, so the tint comes back";

    FakePresenter& again = start();
    again.onInverseColorsChanged(true);
    log.clear();
    monitor->tick(true);
    EXPECT_EQ(log, CallLog{"presenter.tint(on)"}) << "the switch shows on, but the inverted screens get no overlay";
    again.onInverseColorsChanged(false);
    monitor->tick(true);
    EXPECT_TRUE(dimmer->running);

    // Where no display gamma can invert the screens, a stored inversion holds no tint back.
    offered = {.displayGamma = false, .tint = true};
    FakePresenter& withoutGamma = start();
    EXPECT_FALSE(withoutGamma.effectsOffered->displayGamma);
    withoutGamma.onInverseColorsChanged(true);
    monitor->tick(true);
    EXPECT_TRUE(dimmer->running);
}

TEST_F(Hub, TheScheduleAndTheUsersSwitchDecideTheTint)
{
    const struct {
        const char* rule;
        std::string_view events, tint;
    } rows[] = {
        {"the schedule switches at each boundary", "oiioi", "01101"},
        {"the switch starts only a stopped tint, and stops it", "++-", "110"},
        {"off inside holds until the next interval", "i-iiooi", "1000001"},
        {"on outside holds through the next interval until it ends", "o+ooiio", "0111110"},
        {"on just after an interval ended holds the same", "io+oiio", "1011110"},
        {"a switch by hand outside holds only until the next interval", "o+-i", "0101"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.rule);
        start();
        EXPECT_EQ(play(row.events), row.tint);
        const std::string trace = "0" + std::string(row.tint);
        std::ptrdiff_t rises = 0;
        for (std::size_t k = 1; k < trace.size(); ++k)
            rises += trace[k - 1] == '0' && trace[k] == '1';
        EXPECT_EQ(std::ranges::count(log, "dimmer.start"), rises) << "a running tint is never restarted";
    }
}

TEST_F(Hub, SwitchingTheScheduleOffLeavesItsTintOnAndStopsTheTicks)
{
    FakePresenter& p = start();
    monitor->tick(true);
    const TimePoint from = DateTimeMonitor::dateFromComponents(19, 30);
    const TimePoint to = DateTimeMonitor::dateFromComponents(5, 0);
    p.onScheduleIsActivePreferencesChanged(false, from, to);
    EXPECT_TRUE(dimmer->running);
    EXPECT_FALSE(monitor->running || monitor->onDuringInterval || monitor->onOutsideInterval);
    EXPECT_FALSE(settings().getSchedule().isActive);

    p.onScheduleIsActivePreferencesChanged(true, from, to);
    EXPECT_TRUE(monitor->running && monitor->onDuringInterval && monitor->onOutsideInterval);
}

TEST_F(Hub, HelpWindowIsMadeOnceAndThenBroughtForward)
{
    FakePresenter& p = start();
    p.onHelpRequest();
    p.onHelpRequest();
    EXPECT_EQ(log, (CallLog{"help.show", "help.focus"}));
}

}  // namespace

// The bus interface's writes, each through the handler of its popover control and shown in the
// popover; a refused one changes nothing, not even the settings file.
TEST_F(Hub, EachBusPropertyGoesThroughItsControlsHandlerAndABadValueChangesNothing)
{
    start();
    LunaveilService bus([this] { return hub.get(); });
    const auto readFile = [this] {
        std::ifstream file(settingsFile());
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    struct Write {
        const char* property;
        QVariant value;
        CallLog calls;
    };
    const Write writes[] = {
        {"TintEnabled", true, {"presenter.tint(on)", "presenter.invert(off)", "dimmer.start"}},
        {"Opacity", 55.0, {"presenter.alpha(55)", "presenter.invert(off)", "dimmer.change"}},
        {"Colour", QVariant::fromValue(DBusRgb{1, 0, 0}), {"presenter.invert(off)", "dimmer.change"}},
        {"TrueColors", false, {"presenter.trueColors(off)", "presenter.invert(off)", "dimmer.change"}},
        {"Colour", QVariant::fromValue(DBusRgb{0.2, 0.4, 0.6}), {"presenter.invert(off)", "dimmer.change"}},
        {"InvertColors", true, {"presenter.invert(on)", "screen.invert", "dimmer.close"}},
        {"ScheduleActive", false, {"presenter.schedule(off)"}},
        {"ScheduleStart", QStringLiteral("21:30"), {"presenter.schedule(off)"}},
        {"TintEnabled", false, {"presenter.tint(off)", "presenter.invert(off)", "presenter.invert(off)", "dimmer.stop"}},
    };
    for (const Write& write : writes) {
        log.clear();
        EXPECT_EQ(bus.write(QString::fromLatin1(write.property), write.value), std::nullopt) << write.property;
        EXPECT_EQ(log, write.calls) << write.property;
    }
    EXPECT_EQ(settings().getBackgroundAlpha(), 55.0);
    EXPECT_FALSE(settings().getTrueColor());
    EXPECT_EQ(settings().getBackgroundColor(), Colour::rgb(0.2, 0.4, 0.6));
    EXPECT_EQ(settings().getBackgroundTrueColor(), Colour::redColor()) << "the red went to True Colors' own colour";
    EXPECT_FALSE(settings().getSchedule().isActive);
    EXPECT_EQ(LunaveilService::timeText(settings().getSchedule().start), QStringLiteral("21:30"));

    const std::string stored = readFile();
    const double nan = std::nan("");
    const std::pair<const char*, QVariant> refused[] = {
        {"Opacity", nan},          {"Opacity", -1.0},         {"Opacity", 100.5},
        {"ScheduleStart", QStringLiteral("25:99")},           {"ScheduleStop", QString()},
        {"ScheduleStop", QStringLiteral("7:00")},             {"Colour", QVariant::fromValue(DBusRgb{2, 0, 0})},
        {"Colour", QVariant::fromValue(DBusRgb{nan, 0, 0})}, {"Capabilities", QStringList()},
    };
    log.clear();
    for (const auto& [property, value] : refused) {
        const auto refusal = bus.write(QString::fromLatin1(property), value);
        ASSERT_TRUE(refusal) << property;
        EXPECT_TRUE(refusal->message.startsWith(QString::fromLatin1(property))) << refusal->message.toStdString();
    }
    bus.write(QStringLiteral("TrueColors"), true);
    log.clear();
    const auto orangeless = bus.write(QStringLiteral("Colour"), QVariant::fromValue(DBusRgb{0.2, 0.4, 0.6}));
    ASSERT_TRUE(orangeless) << "True Colors takes its six colours only";
    EXPECT_TRUE(log.empty());
    bus.write(QStringLiteral("TrueColors"), false);
    EXPECT_EQ(readFile(), stored) << "a refused write was stored";
}

// Without display gamma, True Colors and Invert Colors are refused as unsupported.
TEST_F(Hub, TheBusRefusesWhatTheSessionCannotShow)
{
    offered.displayGamma = false;
    start();
    LunaveilService bus([this] { return hub.get(); });
    for (const char* property : {"TrueColors", "InvertColors"}) {
        const auto refusal = bus.write(QString::fromLatin1(property), true);
        ASSERT_TRUE(refusal) << property;
        EXPECT_EQ(refusal->type, QDBusError::NotSupported);
    }
    EXPECT_EQ(bus.capabilities(), QStringList{QStringLiteral("tint")});
}

// Sunset to Sunrise: the place set by hand, else the located one, else the fixed times, the
// popover told each time; a place off the globe is never taken.
TEST_F(Hub, TheScheduleFollowsTheSunAtThePlaceKnownAndKeepsItsTimesWithoutOne)
{
    {
        SettingsDataAccess stored = settings();
        stored.setScheduleIsActive(true, TimePoint{}, TimePoint{});
        stored.setScheduleFollowsSun(true);
    }
    FakePresenter& shown = start();
    EXPECT_EQ(monitor->following, located.place);
    EXPECT_TRUE(shown.sunFollowing.followsSun && !shown.sunFollowing.placeSetByHand);

    const Coordinates quito{-0.18, -78.47};
    shown.onScheduleLocationChanged(quito);
    EXPECT_EQ(monitor->following, quito);
    EXPECT_EQ(settings().getScheduleLocation(), quito);
    EXPECT_TRUE(shown.sunFollowing.placeSetByHand);
    shown.onScheduleLocationChanged(Coordinates{91.0, 0.0});
    shown.onScheduleLocationChanged(Coordinates{std::nan(""), 0.0});
    EXPECT_EQ(settings().getScheduleLocation(), quito) << "a place off the globe was stored";
    shown.onScheduleLocationChanged(std::nullopt);
    EXPECT_EQ(monitor->following, located.place) << "back to the located place";
    located.place = Coordinates{48.14, 11.58};  // GeoClue says more
    hub->onLocatedPlaceChanged();
    EXPECT_EQ(monitor->following, located.place);

    located = {std::nullopt, "the system names no time zone"};
    shown.onScheduleFollowsSunChanged(true);
    EXPECT_TRUE(monitor->running && !monitor->following) << "the fixed times stay in force";
    EXPECT_EQ(shown.sunFollowing.whyNoPlace, located.problem);
    shown.onScheduleFollowsSunChanged(false);
    EXPECT_FALSE(settings().getScheduleFollowsSun());
    EXPECT_FALSE(shown.sunFollowing.followsSun);
}
