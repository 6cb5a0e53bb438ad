// The popover's view controller and its presenter: what the controls show, what each user action
// leaves the hub holding, and that updates from the hub fire nothing.

#include "schedule/SunTimes.h"
#include "ui/LocationDialog.h"
#include "ui/OptionsMenu.h"
#include "ui/PopoverColourTables.h"
#include "ui/PopoverViewController.h"
#include "ui/PopoverViewPresenter.h"
#include "ui/QtColour.h"
#include "ui/RoundedViewCheckGroup.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace lunaveil {
namespace {

TimePoint at(int hour, int minute)
{
    return TimePoint(std::chrono::milliseconds(QDateTime(QDate(2024, 5, 1), QTime(hour, minute)).toMSecsSinceEpoch()));
}

const std::vector<Colour> tint = PopoverColourTables::colors();

// What the hub would hold after the callbacks so far, and how many there were.
struct Hub {
    int calls = 0;
    std::optional<Colour> colour = {};
    bool trueColors = false;
    double alpha = 0.0;
    std::optional<bool> login = {}, light = {}, inverse = {}, schedule = {}, followsSun = {};
    TimePoint start = {}, stop = {};
    int help = 0, inverseHelp = 0, trueColorsHelp = 0, quit = 0;
    std::optional<Coordinates> place = {};

    template <typename Target>
    void attach(Target& t)
    {
        const auto keep = [this](auto& field) { return [this, &field](auto value) { ++calls, field = value; }; };
        const auto count = [this](int& field) { return [this, &field] { ++calls, ++field; }; };
        t.onBackgroundColorChanged = [this](std::optional<Colour> c, bool on) { ++calls, colour = c, trueColors = on; };
        t.onBackgroundCustomColorSelected = [this](const Colour& c) { ++calls, colour = c, trueColors = false; };
        t.onScheduleIsActivePreferencesChanged = [this](bool on, TimePoint from, TimePoint to) {
            ++calls, schedule = on, start = from, stop = to;
        };
        t.onBackgroundAlphaChanged = keep(alpha);
        t.onStartAtLoginPreferencesChanged = keep(login);
        t.onLightMonitorNowChanged = keep(light);
        t.onInverseColorsChanged = keep(inverse);
        t.onScheduleFollowsSunChanged = keep(followsSun);
        t.onScheduleLocationChanged = keep(place);
        t.onHelpRequest = count(help);
        t.onInverseColorsHelpRequest = count(inverseHelp);
        t.onTrueColorsHelpRequest = count(trueColorsHelp);
        t.onQuitRequest = count(quit);
    }
};

class PopoverViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controller.locale = [this] { return locale; };
        hub.attach(controller);
    }
    void open()
    {
        controller.initiate(tint[2], 40.0, true, at(22, 0), at(7, 0), true, false, true, false);
        controller.view()->show();
    }
    template <typename Widget = QCheckBox>
    Widget* outlet(const char* name)
    {
        auto* widget = controller.view()->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QDateTimeEdit* start() { return outlet<QDateTimeEdit>("startHourDatePickerOutlet"); }
    QDateTimeEdit* stop() { return outlet<QDateTimeEdit>("stopHourDatePickerOutlet"); }
    const std::vector<RoundedViewCheckButton*>& swatches()
    {
        return outlet<RoundedViewCheckGroup>("roundedViewCheckGroupOutlet")->items();
    }
    void clickSwatch(std::size_t index) { QTest::mouseClick(swatches().at(index), Qt::LeftButton); }
    // Clicks the menu button and runs inside while the menu it builds is open.
    void withMenu(const std::function<void(OptionsMenu&)>& inside)
    {
        QTimer::singleShot(0, controller.view(), [&] {
            ASSERT_TRUE(controller.optionsMenu() && controller.optionsMenu()->isVisible());
            inside(*controller.optionsMenu());
            if (controller.optionsMenu() != nullptr)
                controller.optionsMenu()->close();
        });
        QTest::mouseClick(outlet<QWidget>("menuButtonOutlet"), Qt::LeftButton);
    }

    QLocale locale{QLocale::German, QLocale::Germany};
    PopoverViewController controller;
    Hub hub;
};

TEST_F(PopoverViewTest, FirstOpeningShowsTheLastHandedOverStateAndUpdatesFireNothing)
{
    controller.initiate(Colour::redColor(), 10.0, true, at(6, 0), at(6, 30), false, false, false, true);
    controller.initiate(tint[2], 40.0, false, at(22, 0), at(7, 0), true, false, true, false);
    // Before the view is built, only the tint switch's update is kept.
    controller.setLightMonitorNowCheckBox(true);
    controller.setInverseColorsEnabled(false);
    controller.setSelectedBackgroundColor(tint[5]);
    EXPECT_FALSE(controller.isViewLoaded());
    controller.view()->show();
    EXPECT_FALSE(outlet("scheduleCheckboxOutlet")->isChecked() || start()->isEnabled() || stop()->isEnabled());
    EXPECT_EQ(std::pair(start()->time(), stop()->time()), std::pair(QTime(22, 0), QTime(7, 0)));
    EXPECT_TRUE(outlet("startAtLoginCheckboxOutlet")->isChecked() && outlet("lunaveilCheckboxOutlet")->isChecked());
    EXPECT_TRUE(outlet("inverseColorsCheckboxOutlet")->isChecked() && !outlet("trueColorsCheckboxOutlet")->isChecked());
    EXPECT_TRUE(outlet<QSlider>("alphaSlideviewOutlet")->value() == 40 && swatches()[2]->isSelected());

    // The presenter's test sees the other updates of a built view.
    controller.setLightMonitorNowCheckBox(false);
    controller.setSelectedBackgroundColor(tint[5]);
    controller.changeBackgroundCustomColor(Colour::greenColor());
    controller.setSchedule(true, at(21, 0), at(6, 0));
    EXPECT_TRUE(!outlet("lunaveilCheckboxOutlet")->isChecked() && swatches()[5]->isSelected());
    EXPECT_EQ(swatches().back()->backgroundColour(), toQColor(Colour::greenColor()));
    EXPECT_TRUE(start()->isEnabled() && start()->time() == QTime(21, 0));

    // Without display gamma its controls are disabled and say why; the reason is asked at each showing.
    int asked = 0;
    controller.setEffectsOffered({.displayGamma = false, .tint = true, .whyNoDisplayGamma = [&] {
        return "Night Light " + std::to_string(++asked);
    }});
    controller.view()->hide();
    controller.view()->show();
    QCheckBox* const trueColors = outlet("trueColorsCheckboxOutlet");
    EXPECT_FALSE(trueColors->isEnabled() || outlet("inverseColorsCheckboxOutlet")->isEnabled());
    EXPECT_EQ(trueColors->toolTip(), QStringLiteral("Night Light 2"));
    EXPECT_TRUE(outlet("lunaveilCheckboxOutlet")->isEnabled());
    controller.setEffectsOffered({.displayGamma = false, .tint = false});
    EXPECT_FALSE(outlet("lunaveilCheckboxOutlet")->isEnabled());
    controller.setEffectsOffered({});
    EXPECT_TRUE(trueColors->isEnabled() && trueColors->toolTip().isEmpty());
    EXPECT_EQ(hub.calls, 0);
}

// Each action makes one callback; the hub's state after it, not the controls', is what counts. The
// True Colors help button is pressed in the keyboard's test.
TEST_F(PopoverViewTest, EachActionMakesOneCallbackThatLeavesTheHubHoldingItsValue)
{
    open();
    const auto up = [](QDateTimeEdit* picker, QDateTimeEdit::Section section) {
        picker->setCurrentSection(section), QTest::keyClick(picker, Qt::Key_Up);
    };
    const auto click = [this](const char* name) { return [this, name] { outlet<QAbstractButton>(name)->click(); }; };
    const std::vector<std::tuple<const char*, std::function<void()>, std::function<bool()>>> steps{
        {"schedule off", click("scheduleCheckboxOutlet"),
         [&] { return hub.schedule == false && hub.start == at(22, 0) && hub.stop == at(7, 0); }},
        {"schedule on", click("scheduleCheckboxOutlet"), [&] { return hub.schedule == true; }},
        // Either picker reports both times.
        {"start picker", [&] { up(start(), QDateTimeEdit::HourSection); },
         [&] { return hub.schedule == true && hub.start == at(23, 0) && hub.stop == at(7, 0); }},
        {"stop picker", [&] { up(stop(), QDateTimeEdit::MinuteSection); },
         [&] { return hub.start == at(23, 0) && hub.stop == at(7, 1); }},
        {"login", click("startAtLoginCheckboxOutlet"), [&] { return hub.login == false; }},
        {"invert", click("inverseColorsCheckboxOutlet"), [&] { return hub.inverse == false; }},
        {"tint", click("lunaveilCheckboxOutlet"), [&] { return hub.light == true; }},
        {"slider", [&] { QTest::keyClick(outlet<QSlider>("alphaSlideviewOutlet"), Qt::Key_Right); },
         [&] { return hub.alpha == 41.0; }},
        {"invert help", click("inverseColorsHelpButton"), [&] { return hub.inverseHelp == 1; }},
        {"swatch", [&] { clickSwatch(3); }, [&] { return hub.colour == tint[3] && !hub.trueColors; }},
        // The custom swatch passes its own table colour, whatever it shows.
        {"custom swatch", [&] { controller.changeBackgroundCustomColor(Colour::blueColor()), clickSwatch(7); },
         [&] { return hub.colour == tint[7]; }},
        // True Colors swaps the row and asks for the mode's stored colour; there a swatch gives its pure colour.
        {"true colours on", click("trueColorsCheckboxOutlet"), [&] { return hub.trueColors && !hub.colour; }},
        {"true colours swatch", [&] { clickSwatch(0); }, [&] { return hub.trueColors && hub.colour == Colour::redColor(); }},
        {"true colours off", click("trueColorsCheckboxOutlet"),
         [&] { return !hub.trueColors && !hub.colour && swatches().front()->color == tint.front(); }},
    };
    for (const auto& [what, act, holds] : steps) {
        const int before = hub.calls;
        act();
        EXPECT_EQ(hub.calls, before + 1) << what;
        EXPECT_TRUE(holds()) << what;
    }

    // The pickers follow the locale's clock at each opening.
    for (const auto& [clock, shown] : {std::pair{QLocale::English, "11:00 PM"}, std::pair{QLocale::German, "23:00"}}) {
        controller.view()->hide();
        locale = QLocale(clock, clock == QLocale::English ? QLocale::UnitedStates : QLocale::Germany);
        controller.view()->show();
        EXPECT_EQ(start()->text(), QString::fromLatin1(shown));
    }
}

// The menu is new at every click: each entry's key fires it once and closes it, other keys do
// nothing (the clicks on it are the desktop test's). Following the sun shows today's times
// read-only or says why not; the location dialog keeps refused places open and hands the hub the
// accepted one.
TEST_F(PopoverViewTest, TheOptionsMenuFiresHelpQuitAndTheSunsEntriesWhichThePickersFollow)
{
    open();
    for (const auto& [key, modifiers, requests] : {std::tuple{Qt::Key_H, Qt::NoModifier, std::pair(1, 0)},
                                                   std::tuple{Qt::Key_Q, Qt::NoModifier, std::pair(1, 1)},
                                                   std::tuple{Qt::Key_X, Qt::NoModifier, std::pair(1, 1)},
                                                   std::tuple{Qt::Key_Q, Qt::ControlModifier, std::pair(1, 1)}}) {
        const int before = hub.calls;
        bool closedByIt = false;
        withMenu([&](OptionsMenu& menu) { QTest::keyClick(&menu, key, modifiers), closedByIt = !menu.isVisible(); });
        EXPECT_EQ(std::pair(hub.help, hub.quit), requests) << key;
        EXPECT_EQ(closedByIt, hub.calls > before) << key;
    }
    EXPECT_EQ(hub.calls, 2);

    const Coordinates berlin{52.52, 13.405};
    controller.setSunFollowing({.followsSun = true, .place = berlin});
    const SunDay today = sunDayAt(berlin, systemNow());
    const auto shown = [](TimePoint when) {
        return QDateTime::fromMSecsSinceEpoch(
                   std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count())
            .toString(QStringLiteral("HH:mm"));
    };
    EXPECT_TRUE(start()->isReadOnly() && stop()->isReadOnly());
    EXPECT_EQ(std::pair(start()->text(), stop()->text()), std::pair(shown(today.sunset), shown(today.sunrise)));
    EXPECT_TRUE(start()->toolTip().contains(QStringLiteral("52.52"))) << start()->toolTip().toStdString();
    outlet("scheduleCheckboxOutlet")->click();
    EXPECT_EQ(hub.start, at(22, 0)) << "the sun's times were taken for the schedule's own";
    controller.setSunFollowing({.followsSun = true, .whyNoPlace = "the system names no time zone"});
    EXPECT_FALSE(start()->isReadOnly());
    EXPECT_EQ(start()->text(), QStringLiteral("22:00"));
    EXPECT_TRUE(start()->toolTip().contains(QStringLiteral("names no time zone")));

    withMenu([](OptionsMenu& menu) {
        EXPECT_TRUE(menu.followSunAction()->isChecked());
        menu.followSunAction()->trigger();
        menu.locationAction()->trigger();
    });
    int refusedStayedOpen = 0;
    QTimer::singleShot(0, controller.view(), [&] {
        LocationDialog* dialog = controller.locationDialog();
        ASSERT_NE(dialog, nullptr);
        for (const char* latitude : {"91", "nan", "north", "", "-33.87"}) {
            dialog->latitudeField()->setText(QString::fromLatin1(latitude));
            dialog->longitudeField()->setText(QStringLiteral("151.21"));
            QTest::keyClick(dialog, Qt::Key_Return);
            refusedStayedOpen += dialog->isVisible() && dialog->messageLabel()->isVisible();
        }
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(refusedStayedOpen, 4);
    EXPECT_EQ(hub.followsSun, false);
    EXPECT_EQ(hub.place, (Coordinates{-33.87, 151.21}));
    EXPECT_EQ(controller.locationDialog(), nullptr);
}

// Tab walks the popover in reading order, every control named for a screen reader; Space and
// Return act as a click, the arrows walk the row.
TEST_F(PopoverViewTest, TheKeyboardReachesEveryControlInReadingOrderAndEveryControlHasAName)
{
    const std::vector<std::string> readingOrder{
        "Lunaveil", "Options", "Red", "Orange", "Yellow", "Green", "Blue", "White", "Black", "Custom Color",
        "Intensity", "Schedule", "Start of the tint", "End of the tint", "True Colors", "What True Colors does",
        "Invert Colors", "What Invert Colors does", "Start at login"};
    open();
    QWidget* view = controller.view();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view));
    const auto focused = [&] { return view->focusWidget(); };
    const auto accessible = [](QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); };
    outlet("lunaveilCheckboxOutlet")->setFocus(Qt::TabFocusReason);
    // A time picker takes a Tab for each of its fields, as every Qt time field does.
    std::vector<std::string> reached;
    for (int tabs = 0; tabs < 30 && reached.size() < readingOrder.size(); ++tabs) {
        const std::string name = accessible(focused())->text(QAccessible::Name).toStdString();
        if (reached.empty() || reached.back() != name)
            reached.push_back(name);
        QTest::keyClick(focused(), Qt::Key_Tab);
    }
    EXPECT_EQ(reached, readingOrder);
    EXPECT_TRUE(accessible(swatches()[2])->state().checked && !accessible(swatches()[1])->state().checked);

    // Space chooses Orange; the row the hub then rebuilds keeps the focus there.
    swatches()[1]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focused(), Qt::Key_Space);
    EXPECT_EQ(hub.colour, tint[1]);
    controller.setSelectedBackgroundColor(tint[1]);
    ASSERT_EQ(focused(), swatches()[1]);
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Left, Qt::Key_Left})
        QTest::keyClick(focused(), key);
    EXPECT_EQ(focused(), swatches()[0]) << "the arrows walk the row and stop at its end";

    // Return on a check box and a help button, and a screen reader's press.
    for (const char* name : {"trueColorsCheckboxOutlet", "trueColorsHelpButton"}) {
        outlet<QWidget>(name)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focused(), Qt::Key_Return);
    }
    accessible(swatches()[0])->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(hub.trueColorsHelp == 1 && hub.trueColors && hub.colour == Colour::redColor());
}

// The presenter passes each action to the hub's handler of the moment, and each update to the view.
// A tray is taken to run, so nothing opens by itself.
TEST(PopoverPresenterTest, RelaysActionsToTheHubsHandlersOfTheMomentAndUpdatesToTheView)
{
    PopoverViewPresenter presenter([] { return true; });
    presenter.showPopover();  // before the start: no tray item, nothing built
    EXPECT_FALSE(presenter.popupSystem() || presenter.popoverViewController().isViewLoaded());
    presenter.startService(Colour::redColor(), 25.0, false, systemNow(), systemNow(), false, false, false, false);
    presenter.showPopover();
    QWidget& view = *presenter.popoverViewController().view();
    const auto box = [&](const char* name) { return view.findChild<QCheckBox*>(QString::fromLatin1(name)); };
    box("inverseColorsCheckboxOutlet")->click();  // no handlers yet: dropped
    Hub hub;
    hub.attach(presenter);
    box("inverseColorsCheckboxOutlet")->click();
    int replaced = 0;
    presenter.onLightMonitorNowChanged = [&](bool) { ++replaced; };
    box("lunaveilCheckboxOutlet")->click();
    presenter.setInverseColorsEnabled(true);
    presenter.setTrueColorsCheckBox(true);
    presenter.setBackgroundAlpha(70.0);
    EXPECT_TRUE(box("inverseColorsCheckboxOutlet")->isChecked() && box("trueColorsCheckboxOutlet")->isChecked());
    EXPECT_EQ(view.findChild<QSlider*>()->value(), 70);
    EXPECT_EQ(std::tuple(hub.calls, hub.inverse, replaced), std::tuple(1, false, 1));

    // The tray's menu: its first entry switches the tint as the switch does, and says which way.
    QMenu& menu = presenter.trayMenu();
    Q_EMIT menu.aboutToShow();
    const QString offered = menu.actions().at(0)->text();
    menu.actions().at(0)->trigger();
    EXPECT_TRUE(replaced == 2 && !box("lunaveilCheckboxOutlet")->isChecked());
    Q_EMIT menu.aboutToShow();
    EXPECT_NE(menu.actions().at(0)->text(), offered);
    menu.actions().at(2)->trigger();  // after the separator
    menu.actions().at(3)->trigger();
    EXPECT_EQ(std::pair(hub.help, hub.quit), std::pair(1, 1));
    presenter.hidePopover();
    EXPECT_FALSE(presenter.popupSystem()->isActive() || view.isVisible());
}

}  // namespace
}  // namespace lunaveil
