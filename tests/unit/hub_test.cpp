// The hub's start sequence and tint rules, driven through the presenter's callbacks and the bus,
// checked on the state it leaves its stand-ins and a real settings file in.

#include "support/HubFixture.h"
#include "support/TextFiles.h"
#include "shell/LunaveilService.h"

#include <cmath>
#include <fstream>
#include <functional>

using namespace lunaveil;
using namespace lunaveil::testing;

namespace {

struct Hub : HubFixture {
    // Plays events in order: a schedule tick inside ('i') or outside ('o') the interval, or the user
    // switching the tint on ('+') or off ('-') or the schedule on ('s') or off ('x'). Gives the tint
    // after each event: on ('1') or off ('0'), or '?' where the tint switch shows otherwise.
    std::string play(std::string_view events)
    {
        std::string tint;
        for (const char event : events) {
            if (event == '+' || event == '-') {
                presenter->tintSwitch = event == '+';  // the user clicks the switch
                presenter->onLightMonitorNowChanged(presenter->tintSwitch);
            } else if (event == 's' || event == 'x') {
                presenter->onScheduleIsActivePreferencesChanged(event == 's', TimePoint{}, TimePoint{});
            } else {
                monitor->tick(event == 'i');
            }
            tint += dimmer->running != presenter->tintSwitch ? '?' : dimmer->running ? '1' : '0';
        }
        return tint;
    }
};

// A damaged settings file is told of, and the defaults hold: True Colors and the schedule on, the
// tint off at launch. A start at login that cannot happen is neither shown nor stored as on.
// Greetings, later runs that follow the stored settings and a -psn_ launch are the desktop test's.
TEST_F(Hub, StartTellsOfADamagedFileAndAStartAtLoginThatCannotHappenIsNeitherShownNorStoredAsOn)
{
    std::ofstream(settingsFile()) << "{ damaged";
    FakePresenter& shown = start();
    ASSERT_EQ(shown.notices.size(), 1u);
    EXPECT_NE(shown.notices[0].find(settingsFile().string() + ".damaged-"), std::string::npos);
    EXPECT_TRUE(shown.started->trueColor && monitor->running && !dimmer->running);

    loginProblem = "it contains a per-cent sign.";
    shown.onStartAtLoginPreferencesChanged(true);
    EXPECT_EQ(shown.loginSwitch, false);
    EXPECT_EQ(alerts, std::vector<std::string>{"The reason: it contains a per-cent sign."});
    EXPECT_FALSE(settings().getStartAtLogin());  // one that can is stored: the end-to-end test clicks it on
}

// Each mode keeps its own colour and a custom pick is always plain; a change to a running tint ends
// an inversion, to a stopped one not.
TEST_F(Hub, EachModeKeepsItsOwnColourAndChangesToARunningTintEndAnInversion)
{
    settings().setBackgroundTrueColor(Colour::greenColor());
    FakePresenter& p = start();
    const auto invert = [&p] { p.invertSwitch = true; p.onInverseColorsChanged(true); };  // the user clicks the switch
    invert();
    p.onBackgroundColorChanged(Colour::redColor(), false);
    p.onBackgroundAlphaChanged(61.5);
    EXPECT_TRUE(screen.inverted && p.invertSwitch == true && !p.selected) << "a clicked colour is not sent back";
    EXPECT_TRUE(settings().getBackgroundColor() == Colour::redColor() && settings().getBackgroundAlpha() == 61.5);

    p.onLightMonitorNowChanged(true);
    invert();
    p.onBackgroundColorChanged(std::nullopt, true);  // True Colors chosen without a colour takes its stored one
    EXPECT_TRUE(p.invertSwitch == false && p.selected == Colour::greenColor());
    EXPECT_TRUE(dimmer->last.colour == Colour::greenColor() && dimmer->last.alpha == 61.5 && dimmer->last.trueColor);
    EXPECT_TRUE(settings().getTrueColor() && settings().getBackgroundColor() == Colour::redColor());

    p.onBackgroundCustomColorSelected(Colour::blueColor());
    p.onBackgroundCustomColorSelected(Colour::redColor());
    EXPECT_EQ(panel->shown, Colour::blueColor()) << "a later request only brings the panel forward";
    const Colour teal = Colour::rgb(0, 0.5, 0.5, 1, ColourSpace::DeviceRGB);
    panel->pick(teal);
    EXPECT_TRUE(p.customColour == teal && dimmer->last.colour == teal && !dimmer->last.trueColor);
    EXPECT_TRUE(settings().getBackgroundColor() == teal && !settings().getTrueColor());
}

// Inverting closes the overlay; straightening brings back a running tint (the user's or the
// schedule's) and nothing else. An inside tick while inverted starts no overlay where the displays'
// gamma inverts, but does where there is none.
TEST_F(Hub, InvertingClosesTheOverlayAndStraighteningBringsBackOnlyARunningTint)
{
    for (const std::string_view tint : {"", "+", "i"}) {  // none, the user's, the schedule's
        FakePresenter& p = start();
        play(tint);
        p.onInverseColorsChanged(true);
        EXPECT_TRUE(screen.inverted && dimmer->windowsClosed) << tint;
        p.onInverseColorsChanged(false);
        EXPECT_TRUE(!screen.inverted && dimmer->running == !tint.empty() && dimmer->windowsClosed == tint.empty()) << tint;
    }

    for (const bool displayGamma : {true, false}) {
        offered = {.displayGamma = displayGamma, .tint = true};
        start().onInverseColorsChanged(true);
        monitor->tick(true);
        EXPECT_TRUE(presenter->tintSwitch);
        EXPECT_EQ(dimmer->running, !displayGamma) << "the inverted screens get an overlay";
        presenter->onInverseColorsChanged(false);
        monitor->tick(true);
        EXPECT_TRUE(dimmer->running);
    }
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
        {"the schedule switched off leaves its tint on and hears no ticks until on again", "ixoso", "11110"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.rule);
        start();
        EXPECT_EQ(play(row.events), row.tint);
        const std::string trace = "0" + std::string(row.tint);
        int rises = 0;
        for (std::size_t k = 1; k < trace.size(); ++k)
            rises += trace[k - 1] == '0' && trace[k] == '1';
        EXPECT_EQ(dimmer->starts, rises) << "a running tint is never restarted";
    }
}

// The bus interface's writes, each through the handler of its popover control and shown in the
// popover; a refused one changes nothing, not even the settings file.
TEST_F(Hub, EachBusPropertyGoesThroughItsControlsHandlerAndABadValueChangesNothing)
{
    FakePresenter& p = start();
    LunaveilService bus([this] { return hub.get(); });
    const struct {
        const char* property;
        QVariant value;
        std::function<bool()> shown;
    } writes[] = {
        {"TintEnabled", true, [&] { return p.tintSwitch && dimmer->running; }},
        {"Opacity", 55.0, [&] { return p.alphaSlider == 55.0 && dimmer->last.alpha == 55.0; }},
        {"Colour", QVariant::fromValue(DBusRgb{1, 0, 0}), [&] { return dimmer->last.trueColor; }},
        {"TrueColors", false, [&] { return p.trueColorsSwitch == false && !dimmer->last.trueColor; }},
        {"Colour", QVariant::fromValue(DBusRgb{0.2, 0.4, 0.6}), [&] { return p.selected == Colour::rgb(0.2, 0.4, 0.6); }},
        {"InvertColors", true, [&] { return p.invertSwitch == true && screen.inverted; }},
        {"ScheduleStart", QStringLiteral("21:30"), [&] { return p.scheduleSwitch == true; }},
        {"TintEnabled", false, [&] { return !p.tintSwitch && !dimmer->running; }},
    };
    for (const auto& write : writes) {
        EXPECT_EQ(bus.write(QString::fromLatin1(write.property), write.value), std::nullopt) << write.property;
        EXPECT_TRUE(write.shown()) << write.property;
    }
    EXPECT_EQ(settings().getBackgroundTrueColor(), Colour::redColor()) << "the red went to True Colors' own colour";
    EXPECT_EQ(LunaveilService::timeText(settings().getSchedule().start), QStringLiteral("21:30"));

    const std::string stored = test::readFile(settingsFile());
    const double nan = std::nan("");
    const std::pair<const char*, QVariant> refused[] = {
        {"Opacity", nan}, {"Opacity", -1.0}, {"Opacity", 100.5}, {"ScheduleStart", QStringLiteral("25:99")},
        {"ScheduleStop", QStringLiteral("7:00")}, {"Colour", QVariant::fromValue(DBusRgb{2, 0, 0})},
        {"Capabilities", QStringList()},
    };
    for (const auto& [property, value] : refused) {
        const auto refusal = bus.write(QString::fromLatin1(property), value);
        ASSERT_TRUE(refusal) << property;
        EXPECT_TRUE(refusal->message.startsWith(QString::fromLatin1(property))) << refusal->message.toStdString();
    }
    bus.write(QStringLiteral("TrueColors"), true);
    EXPECT_TRUE(bus.write(QStringLiteral("Colour"), QVariant::fromValue(DBusRgb{0.2, 0.4, 0.6})))
        << "True Colors takes its six colours only";
    bus.write(QStringLiteral("TrueColors"), false);
    EXPECT_EQ(test::readFile(settingsFile()), stored) << "a refused write was stored";

    // Without display gamma, True Colors and Invert Colors are refused as unsupported.
    offered.displayGamma = false;
    start();
    for (const char* property : {"TrueColors", "InvertColors"})
        EXPECT_EQ(bus.write(QString::fromLatin1(property), true).value_or(Refusal{}).type, QDBusError::NotSupported);
    EXPECT_EQ(bus.capabilities(), QStringList{QStringLiteral("tint")});
}

// Sunset to Sunrise: the place set by hand, else the located one, else the fixed times, the
// popover told each time; a place off the globe is never taken.
TEST_F(Hub, TheScheduleFollowsTheSunAtThePlaceKnownAndKeepsItsTimesWithoutOne)
{
    settings().setScheduleIsActive(true, TimePoint{}, TimePoint{});
    settings().setScheduleFollowsSun(true);
    FakePresenter& shown = start();
    EXPECT_EQ(monitor->following, located.place);
    EXPECT_TRUE(shown.sunFollowing.followsSun && !shown.sunFollowing.placeSetByHand);

    const Coordinates quito{-0.18, -78.47};
    shown.onScheduleLocationChanged(quito);
    EXPECT_TRUE(monitor->following == quito && settings().getScheduleLocation() == quito);
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
    EXPECT_FALSE(settings().getScheduleFollowsSun() || shown.sunFollowing.followsSun);
}

}  // namespace
