// The popover's view controller: what the controls show, what each user action leaves the hub
// holding, and that updates from the hub fire nothing; the tray item that opens it, where it opens,
// and the tray's menu. That the popover opens by itself where no tray runs is proved end to end.

#include "schedule/SunTimes.h"
#include "ui/LocationDialog.h"
#include "ui/OptionsMenu.h"
#include "ui/PopoverColourTables.h"
#include "ui/PopoverViewController.h"
#include "ui/PopoverViewPresenter.h"
#include "ui/PopupSystem.h"
#include "ui/QtColour.h"
#include "ui/RoundedViewCheckGroup.h"

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

TEST_F(PopoverViewTest, FirstOpeningShowsTheHandedOverStateAndUpdatesFireNothing)
{
    controller.initiate(tint[2], 40.0, false, at(22, 0), at(7, 0), true, false, true, false);
    controller.setLightMonitorNowCheckBox(true);  // before the view is built: kept for it
    controller.view()->show();
    EXPECT_FALSE(outlet("scheduleCheckboxOutlet")->isChecked() || start()->isEnabled() || stop()->isEnabled());
    EXPECT_EQ(std::pair(start()->time(), stop()->time()), std::pair(QTime(22, 0), QTime(7, 0)));
    EXPECT_TRUE(outlet("startAtLoginCheckboxOutlet")->isChecked() && outlet("lunaveilCheckboxOutlet")->isChecked());
    EXPECT_TRUE(outlet("inverseColorsCheckboxOutlet")->isChecked() && !outlet("trueColorsCheckboxOutlet")->isChecked());
    EXPECT_TRUE(outlet<QSlider>("alphaSlideviewOutlet")->value() == 40 && swatches()[2]->isSelected());
    EXPECT_EQ(swatches()[1]->backgroundColour(), toQColor(Colour::orangeColor())) << "drawn in its display colour";

    controller.setLightMonitorNowCheckBox(false);
    controller.setSchedule(true, at(21, 0), at(6, 0));
    EXPECT_FALSE(outlet("lunaveilCheckboxOutlet")->isChecked());
    EXPECT_TRUE(start()->isEnabled() && start()->time() == QTime(21, 0));
    // Swatches match exactly, colour space too: a preset's components in device RGB are a custom
    // colour, shown on the custom swatch, which still stands for its own table colour.
    const Rgb components = tint[3].toRgb();
    const Colour device = Colour::rgb(components.red, components.green, components.blue, 1.0, ColourSpace::DeviceRGB);
    controller.setSelectedBackgroundColor(device);
    EXPECT_TRUE(!swatches()[3]->isSelected() && swatches()[7]->isSelected());
    EXPECT_EQ(std::pair(swatches()[7]->backgroundColour(), swatches()[7]->color), std::pair(toQColor(device), tint[7]));
    controller.changeBackgroundCustomColor(Colour::greenColor());
    EXPECT_EQ(swatches()[7]->backgroundColour(), toQColor(Colour::greenColor()));

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
    controller.setEffectsOffered({});
    EXPECT_TRUE(trueColors->isEnabled() && trueColors->toolTip().isEmpty());
    EXPECT_EQ(hub.calls, 0);
}

// Each action makes one callback; the hub's state after it, not the controls', is what counts. The
// switch, the slider, Invert Colors and Start at login are clicked in the desktop test, which sees
// what they do.
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

    // The pickers follow the locale's clock at each opening (German's shows in the menu's test).
    controller.view()->hide();
    locale = QLocale(QLocale::English, QLocale::UnitedStates);
    controller.view()->show();
    EXPECT_EQ(start()->text(), QStringLiteral("11:00 PM"));
}

// The menu is new at every click: each entry's key fires it once and closes it, another key does
// nothing (the clicks on it are the desktop test's). Following the sun shows today's times
// read-only or says why not; the location dialog keeps refused places open and hands the hub the
// accepted one.
TEST_F(PopoverViewTest, TheOptionsMenuFiresHelpQuitAndTheSunsEntriesWhichThePickersFollow)
{
    open();
    for (const auto& [key, requests] : {std::pair{Qt::Key_H, std::pair(1, 0)}, std::pair{Qt::Key_Q, std::pair(1, 1)},
                                        std::pair{Qt::Key_X, std::pair(1, 1)}}) {
        const int before = hub.calls;
        bool closedByIt = false;
        withMenu([&](OptionsMenu& menu) { QTest::keyClick(&menu, key), closedByIt = !menu.isVisible(); });
        EXPECT_EQ(std::pair(hub.help, hub.quit), requests) << key;
        EXPECT_EQ(closedByIt, hub.calls > before) << key;
    }

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

// The tray item and its menu, through the presenter that owns them (whose relays carry the desktop
// test's clicks to the settings); a tray is taken to run, so nothing opens by itself. The icon's
// plain clicks are the desktop test's. Of two quick presses the tray reports the second as a double
// click: a click all the same; only the left button clicks the item. A click outside closes the
// popover, and only that same click cannot open it again.
TEST(TrayItemTest, LeftClicksToggleThePopoverTheClosingClickCannotReopenItAndTheMenuSwitchesTheTint)
{
    PopoverViewPresenter presenter([] { return true; });
    presenter.showPopover();  // before the start: no tray item, nothing built
    EXPECT_FALSE(presenter.popupSystem() || presenter.popoverViewController().isViewLoaded());
    presenter.startService(Colour::redColor(), 25.0, false, systemNow(), systemNow(), false, false, false, false);
    PopupSystem& item = *presenter.popupSystem();
    QWidget& popover = *presenter.popoverViewController().view();
    const auto open = [&] {
        EXPECT_EQ(popover.isVisible(), item.isActive());
        return item.isActive();
    };
    const auto pressOutside = [&] { QTest::mousePress(&popover, Qt::LeftButton, {}, QPoint(-40, -40)); };
    const auto releaseOutside = [&] { QTest::mouseRelease(&popover, Qt::LeftButton, {}, QPoint(-40, -40)); };
    for (const auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::DoubleClick})
        Q_EMIT item.statusItem().activated(reason, std::nullopt);
    EXPECT_TRUE(open());
    pressOutside();
    EXPECT_FALSE(open());
    // When that press was on the item itself, it reaches the item next: it must not reopen.
    item.mouseDown();
    EXPECT_FALSE(open());
    releaseOutside();
    item.mouseDown();
    EXPECT_TRUE(open());
    // An XEmbed tray never passes the closing click on, so the next press on the item is a click
    // of its own (as the desktop test's tray has it).
    pressOutside(), releaseOutside();
    item.mouseDown();
    EXPECT_TRUE(open());

    // The tray's menu: its first entry switches the tint as the switch does, and says which way.
    Hub hub;
    hub.attach(presenter);
    QMenu& menu = presenter.trayMenu();
    Q_EMIT menu.aboutToShow();
    const QString offered = menu.actions().at(0)->text();
    menu.actions().at(0)->trigger();
    EXPECT_TRUE(hub.light == true && popover.findChild<QCheckBox*>(QStringLiteral("lunaveilCheckboxOutlet"))->isChecked());
    Q_EMIT menu.aboutToShow();
    EXPECT_NE(menu.actions().at(0)->text(), offered);
    menu.actions().at(2)->trigger();  // after the separator
    menu.actions().at(3)->trigger();
    EXPECT_EQ(std::tuple(hub.calls, hub.help, hub.quit), std::tuple(3, 1, 1));
    presenter.hidePopover();
    EXPECT_FALSE(open());
}

// Centred under the icon and kept on its screen, or above an icon at the screen's bottom.
TEST(PopoverPositionTest, CentredUnderTheIconAboveOneAtTheBottomAndKeptOnItsScreen)
{
    const struct {
        QRect icon, screen;
        QPoint at;
    } cases[] = {
        {{1000, 0, 24, 24}, {0, 0, 1280, 1024}, {852, 24}},
        {{1260, 0, 20, 24}, {0, 0, 1280, 1024}, {960, 24}},     // at the right edge
        {{600, 960, 24, 24}, {0, 0, 1280, 1000}, {452, 688}},   // a floating bottom panel
        {{2000, 0, 24, 24}, {1280, 0, 1920, 1080}, {1852, 24}}, // a second screen to the right
    };
    for (const auto& [icon, screen, at] : cases)
        EXPECT_EQ(PopupSystem::popoverPosition(icon, QSize(320, 272), screen), at) << icon.x() << "," << icon.y();
}

}  // namespace
}  // namespace lunaveil
