// The popover's view controller and its presenter: what the controls show, the one callback each
// user action fires, and how the presenter relays both ways.

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
#include <QCoreApplication>
#include <QLineEdit>
#include <QDateTimeEdit>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace lunaveil {
namespace {

using Names = std::vector<std::string>;

TimePoint at(int hour, int minute)
{
    return TimePoint(std::chrono::milliseconds(QDateTime(QDate(2024, 5, 1), QTime(hour, minute)).toMSecsSinceEpoch()));
}

const std::vector<Colour> tint = PopoverColourTables::colors();

// Records every user-action callback of a view controller or presenter, in order: its name and
// its flags (on/off) and numbers; the colour and the last two times (a schedule's start and stop)
// are kept aside.
struct Calls {
    Names names;
    std::optional<Colour> colour;
    TimePoint start{};
    TimePoint stop{};

    template <typename Target>
    void recordFrom(Target& target)
    {
        target.onBackgroundColorChanged = record("onBackgroundColorChanged");
        target.onBackgroundCustomColorSelected = record("onBackgroundCustomColorSelected");
        target.onBackgroundAlphaChanged = record("onBackgroundAlphaChanged");
        target.onStartAtLoginPreferencesChanged = record("onStartAtLoginPreferencesChanged");
        target.onScheduleIsActivePreferencesChanged = record("onScheduleIsActivePreferencesChanged");
        target.onLightMonitorNowChanged = record("onLightMonitorNowChanged");
        target.onInverseColorsChanged = record("onInverseColorsChanged");
        target.onHelpRequest = record("onHelpRequest");
        target.onInverseColorsHelpRequest = record("onInverseColorsHelpRequest");
        target.onTrueColorsHelpRequest = record("onTrueColorsHelpRequest");
        target.onQuitRequest = record("onQuitRequest");
        target.onScheduleFollowsSunChanged = record("onScheduleFollowsSunChanged");
        target.onScheduleLocationChanged = record("onScheduleLocationChanged");
    }
    // Takes the calls made so far, leaving none.
    Names taken() { return std::exchange(names, {}); }

private:
    auto record(const char* name)
    {
        return [this, name](auto... values) {
            std::string call = name;
            (keep(call, values), ...);
            names.push_back(call);
        };
    }
    void keep(std::string& call, bool on) { call += on ? " on" : " off"; }
    void keep(std::string& call, double number) { call += " " + QString::number(number).toStdString(); }
    void keep(std::string&, const std::optional<Colour>& value) { colour = value; }
    void keep(std::string&, TimePoint time) { start = std::exchange(stop, time); }
    void keep(std::string&, const std::optional<Coordinates>& value) { place = value; }

public:
    std::optional<Coordinates> place;
};

class PopoverViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controller.locale = [this] { return locale; };
        calls.recordFrom(controller);
    }

    // The state the hub hands over at start, then the first opening.
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
    RoundedViewCheckGroup* row() { return outlet<RoundedViewCheckGroup>("roundedViewCheckGroupOutlet"); }
    bool lightShown() { return outlet<QLabel>("lunaveilStatusLightViewOutlet")->isVisibleTo(controller.view()); }
    // Whether the pickers take input, checked against how they look.
    bool schedulePickersOn()
    {
        const auto* effect =
            qobject_cast<QGraphicsOpacityEffect*>(outlet<QWidget>("scheduleDatesViewOutlet")->graphicsEffect());
        EXPECT_EQ(start()->isEnabled(), stop()->isEnabled());
        EXPECT_DOUBLE_EQ(effect->opacity(), start()->isEnabled() ? 1.0 : 0.6);
        return start()->isEnabled();
    }
    std::vector<Colour> rowColours()
    {
        std::vector<Colour> colours;
        for (const RoundedViewCheckButton* item : row()->items())
            colours.push_back(item->color);
        EXPECT_EQ(row()->findChildren<RoundedViewCheckButton*>(Qt::FindDirectChildrenOnly).size(),
                  static_cast<qsizetype>(colours.size()));
        return colours;
    }
    void clickSwatch(std::size_t index)
    {
        RoundedViewCheckButton* item = row()->items().at(index);
        QTest::mouseClick(item, Qt::LeftButton, {}, item->rect().center());
    }

    QLocale locale{QLocale::German, QLocale::Germany};
    PopoverViewController controller;
    Calls calls;
};

TEST_F(PopoverViewTest, FirstOpeningShowsTheLastHandedOverStateAndLaterUpdatesFireNothing)
{
    controller.initiate(Colour::redColor(), 10.0, true, at(6, 0), at(6, 30), false, false, false, true);
    controller.initiate(tint[2], 40.0, false, at(22, 0), at(7, 0), true, false, true, false);
    // Before the view is built, only the tint switch's update is kept.
    controller.setLightMonitorNowCheckBox(true);
    controller.setInverseColorsEnabled(false);
    controller.setSelectedBackgroundColor(tint[5]);
    EXPECT_FALSE(controller.isViewLoaded());
    controller.view()->show();

    EXPECT_FALSE(outlet("scheduleCheckboxOutlet")->isChecked());
    EXPECT_FALSE(schedulePickersOn());
    EXPECT_EQ(start()->time(), QTime(22, 0));
    EXPECT_EQ(stop()->time(), QTime(7, 0));
    EXPECT_TRUE(outlet("startAtLoginCheckboxOutlet")->isChecked());
    EXPECT_TRUE(outlet("lunaveilCheckboxOutlet")->isChecked());
    EXPECT_FALSE(lightShown());  // as the interface file has it, until the next change
    EXPECT_TRUE(outlet("inverseColorsCheckboxOutlet")->isChecked());
    EXPECT_FALSE(outlet("trueColorsCheckboxOutlet")->isChecked());
    EXPECT_EQ(outlet<QSlider>("alphaSlideviewOutlet")->value(), 40);
    EXPECT_TRUE(row()->items()[2]->isSelected());

    controller.setLightMonitorNowCheckBox(true);
    EXPECT_TRUE(lightShown());
    controller.setLightMonitorNowCheckBox(false);
    EXPECT_FALSE(lightShown() || outlet("lunaveilCheckboxOutlet")->isChecked());
    controller.setInverseColorsEnabled(false);
    EXPECT_FALSE(outlet("inverseColorsCheckboxOutlet")->isChecked());
    controller.setSelectedBackgroundColor(tint[5]);
    EXPECT_TRUE(row()->items()[5]->isSelected() && !row()->items()[2]->isSelected());
    controller.changeBackgroundCustomColor(Colour::greenColor());
    EXPECT_EQ(row()->items().back()->backgroundColour(), toQColor(Colour::greenColor()));
    EXPECT_TRUE(calls.names.empty());

    // A session without display gamma: its controls are disabled and say why, still showing the settings.
    controller.setEffectsOffered({.displayGamma = false, .tint = true});
    EXPECT_FALSE(outlet("trueColorsCheckboxOutlet")->isEnabled() || outlet("inverseColorsCheckboxOutlet")->isEnabled());
    EXPECT_EQ(outlet("trueColorsCheckboxOutlet")->toolTip(),
              QStringLiteral("True Colors needs display gamma, which this session does not offer"));
    EXPECT_TRUE(outlet("lunaveilCheckboxOutlet")->isEnabled() && outlet("lunaveilCheckboxOutlet")->toolTip().isEmpty());
    // One that says where its gamma went is asked again each time the popover shows.
    int asked = 0;
    controller.setEffectsOffered({.displayGamma = false, .tint = true, .whyNoDisplayGamma = [&] {
        return "Night Light " + std::to_string(++asked);
    }});
    controller.view()->hide();
    controller.view()->show();
    EXPECT_EQ(outlet("trueColorsCheckboxOutlet")->toolTip(), QStringLiteral("Night Light 2"));
    EXPECT_EQ(outlet("inverseColorsCheckboxOutlet")->toolTip(),
              QStringLiteral("Invert Colors needs display gamma, which this session does not offer"));
    controller.setEffectsOffered({.displayGamma = false, .tint = false});
    EXPECT_FALSE(outlet("lunaveilCheckboxOutlet")->isEnabled());
    EXPECT_FALSE(outlet("lunaveilCheckboxOutlet")->toolTip().isEmpty());
    controller.setEffectsOffered({});
    EXPECT_TRUE(outlet("trueColorsCheckboxOutlet")->isEnabled() && outlet("trueColorsCheckboxOutlet")->toolTip().isEmpty());
}

TEST_F(PopoverViewTest, EachControlFiresExactlyOneCallbackWithItsValues)
{
    open();
    for (const bool on : {false, true}) {
        outlet("scheduleCheckboxOutlet")->click();
        EXPECT_EQ(calls.taken(), Names{on ? "onScheduleIsActivePreferencesChanged on"
                                          : "onScheduleIsActivePreferencesChanged off"});
        EXPECT_EQ(calls.start, at(22, 0));
        EXPECT_EQ(calls.stop, at(7, 0));
        EXPECT_EQ(schedulePickersOn(), on);
    }
    // Either picker reports both times, with the schedule on.
    start()->setCurrentSection(QDateTimeEdit::HourSection);
    QTest::keyClick(start(), Qt::Key_Up);
    stop()->setCurrentSection(QDateTimeEdit::MinuteSection);
    QTest::keyClick(stop(), Qt::Key_Up);
    EXPECT_EQ(calls.taken(), Names(2, "onScheduleIsActivePreferencesChanged on"));
    EXPECT_EQ(calls.start, at(23, 0));
    EXPECT_EQ(calls.stop, at(7, 1));

    outlet("startAtLoginCheckboxOutlet")->click();
    outlet("inverseColorsCheckboxOutlet")->click();
    outlet("lunaveilCheckboxOutlet")->click();
    EXPECT_TRUE(lightShown());
    outlet("lunaveilCheckboxOutlet")->click();
    EXPECT_FALSE(lightShown());
    QTest::keyClick(outlet<QSlider>("alphaSlideviewOutlet"), Qt::Key_Right);
    outlet<QToolButton>("inverseColorsHelpButton")->click();
    outlet<QToolButton>("trueColorsHelpButton")->click();
    EXPECT_EQ(calls.taken(),
              (Names{"onStartAtLoginPreferencesChanged off", "onInverseColorsChanged off",
                     "onLightMonitorNowChanged on", "onLightMonitorNowChanged off", "onBackgroundAlphaChanged 41",
                     "onInverseColorsHelpRequest", "onTrueColorsHelpRequest"}));

    clickSwatch(3);
    EXPECT_EQ(calls.taken(), Names{"onBackgroundColorChanged off"});
    EXPECT_EQ(calls.colour, tint[3]);
    // The custom swatch passes its own table colour, whatever it shows.
    controller.changeBackgroundCustomColor(Colour::blueColor());
    clickSwatch(7);
    EXPECT_EQ(calls.taken(), Names{"onBackgroundCustomColorSelected"});
    EXPECT_EQ(calls.colour, tint[7]);

    // True Colors swaps the row, and back; there a swatch gives its pure colour, not the one it is drawn in.
    outlet("trueColorsCheckboxOutlet")->click();
    EXPECT_EQ(rowColours(), PopoverColourTables::trueColors());
    EXPECT_EQ(calls.colour, std::nullopt);
    clickSwatch(0);
    EXPECT_EQ(calls.colour, Colour::redColor());
    outlet("trueColorsCheckboxOutlet")->click();
    EXPECT_EQ(rowColours(), tint);
    EXPECT_EQ(calls.colour, std::nullopt);
    EXPECT_EQ(calls.taken(), (Names{"onBackgroundColorChanged on", "onBackgroundColorChanged on",
                                    "onBackgroundColorChanged off"}));
}

TEST_F(PopoverViewTest, ACustomTintComesBackOnTheCustomSwatchAfterTrueColors)
{
    open();
    const Colour custom = Colour::rgb(0.2, 0.4, 0.6);
    // The hub answers each switch with the stored colour of the mode now shown.
    outlet("trueColorsCheckboxOutlet")->click();
    controller.setSelectedBackgroundColor(Colour::redColor());
    EXPECT_TRUE(row()->items().front()->isSelected());
    outlet("trueColorsCheckboxOutlet")->click();
    controller.setSelectedBackgroundColor(custom);
    EXPECT_TRUE(row()->items().back()->isSelected());
    EXPECT_EQ(row()->items().back()->backgroundColour(), toQColor(custom));
}

TEST_F(PopoverViewTest, OptionsMenuIsBuiltAtEveryClickAndFiresHelpOrQuit)
{
    open();
    const auto clickMenuButtonAndChoose = [&](QAction* (OptionsMenu::*entry)() const, bool byKeyboard = false) {
        QTimer::singleShot(0, controller.view(), [&] {
            OptionsMenu* menu = controller.optionsMenu();
            ASSERT_NE(menu, nullptr);
            EXPECT_TRUE(menu->isVisible());
            (menu->*entry)()->trigger();
            menu->close();
        });
        if (byKeyboard)
            QTest::keyClick(outlet<QWidget>("menuButtonOutlet"), Qt::Key_Return);
        else
            QTest::mouseClick(outlet<QWidget>("menuButtonOutlet"), Qt::LeftButton);
    };
    clickMenuButtonAndChoose(&OptionsMenu::helpAction);
    const QPointer<OptionsMenu> first = controller.optionsMenu();
    clickMenuButtonAndChoose(&OptionsMenu::quitAction, true);
    EXPECT_EQ(calls.taken(), (Names{"onHelpRequest", "onQuitRequest"}));
    EXPECT_TRUE(first.isNull());  // released when the next menu was built
}

// The popover's text is 12 pixels at 96 DPI, 15 at 120 and 18 at 144.
TEST_F(PopoverViewTest, PickersFollowTheLocalesClockEachTimeThePopoverAppearsAndStayClearAtEveryTextSize)
{
    const auto expectLayout = [&](const QString& format, const QString& shown, int textPixels) {
        SCOPED_TRACE(format.toStdString() + " at " + std::to_string(textPixels) + " px");
        EXPECT_EQ(start()->displayFormat(), format);
        EXPECT_EQ(stop()->displayFormat(), format);
        EXPECT_EQ(start()->text(), shown);
        const QRect dash = outlet<QLabel>("scheduleDash")->geometry();
        EXPECT_LT(start()->geometry().right(), dash.left()) << "the start picker covers the dash";
        EXPECT_LT(dash.right(), stop()->x()) << "the stop picker covers the dash";
        EXPECT_LE(stop()->geometry().right(), outlet<QWidget>("scheduleDatesViewOutlet")->width() - 1);
        EXPECT_GE(start()->x(), 0);
        for (QDateTimeEdit* picker : {start(), stop()})
            EXPECT_LE(picker->fontMetrics().horizontalAdvance(picker->text()), picker->width() - 6);
    };
    open();
    for (const int textPixels : {12, 15, 18}) {
        QFont font = controller.view()->font();
        font.setPixelSize(textPixels);
        controller.view()->setFont(font);
        for (const bool twelveHour : {false, true}) {
            controller.view()->hide();
            locale = twelveHour ? QLocale(QLocale::English, QLocale::UnitedStates) : QLocale(QLocale::German);
            controller.view()->show();
            expectLayout(twelveHour ? QStringLiteral("h:mm AP") : QStringLiteral("HH:mm"),
                         twelveHour ? QStringLiteral("10:00 PM") : QStringLiteral("22:00"), textPixels);
        }
    }
    EXPECT_TRUE(calls.names.empty());
}

// Following the sun: the pickers show today's sunset and sunrise read-only, or say why not; the
// options menu's entry and its location dialog report to the hub, which refuses nothing itself.
TEST_F(PopoverViewTest, FollowingTheSunShowsTodaysTimesReadOnlyAndTheMenuAndDialogSetIt)
{
    open();
    const Coordinates berlin{52.52, 13.405};
    controller.setSunFollowing({.followsSun = true, .place = berlin});
    const SunDay today = sunDayAt(berlin, systemNow());
    const auto shown = [](TimePoint when) {
        return QDateTime::fromMSecsSinceEpoch(
                   std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count())
            .toString(QStringLiteral("HH:mm"));
    };
    EXPECT_TRUE(start()->isReadOnly() && stop()->isReadOnly());
    EXPECT_EQ(start()->text(), shown(today.sunset));
    EXPECT_EQ(stop()->text(), shown(today.sunrise));
    EXPECT_TRUE(start()->toolTip().contains(QStringLiteral("52.52"))) << start()->toolTip().toStdString();
    outlet("scheduleCheckboxOutlet")->click();
    EXPECT_EQ(calls.start, at(22, 0)) << "the sun's times were taken for the schedule's own";
    calls.taken();

    controller.setSunFollowing({.followsSun = true, .whyNoPlace = "the system names no time zone"});
    EXPECT_FALSE(start()->isReadOnly());
    EXPECT_EQ(start()->text(), QStringLiteral("22:00"));
    EXPECT_TRUE(start()->toolTip().contains(QStringLiteral("names no time zone")));

    // The menu's entry, and the dialog: refused places keep it open and say why.
    QTimer::singleShot(0, controller.view(), [&] {
        OptionsMenu* menu = controller.optionsMenu();
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(menu->followSunAction()->isChecked());
        menu->followSunAction()->trigger();
        menu->locationAction()->trigger();
        menu->close();
    });
    QTest::mouseClick(outlet<QWidget>("menuButtonOutlet"), Qt::LeftButton);
    std::vector<bool> refusedStayOpen;
    QTimer::singleShot(0, controller.view(), [&] {
        LocationDialog* dialog = controller.locationDialog();
        ASSERT_NE(dialog, nullptr);
        for (const char* latitude : {"91", "nan", "north", ""}) {
            dialog->latitudeField()->setText(QString::fromLatin1(latitude));
            dialog->longitudeField()->setText(QStringLiteral("13.4"));
            QTest::keyClick(dialog, Qt::Key_Return);
            refusedStayOpen.push_back(dialog->isVisible() && dialog->messageLabel()->isVisible());
        }
        dialog->latitudeField()->setText(QStringLiteral("-33.87"));
        dialog->longitudeField()->setText(QStringLiteral("151.21"));
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(refusedStayOpen, std::vector<bool>(4, true));
    EXPECT_EQ(calls.taken(), (Names{"onScheduleFollowsSunChanged off", "onScheduleLocationChanged"}));
    ASSERT_TRUE(calls.place);
    EXPECT_DOUBLE_EQ(calls.place->latitude, -33.87);
    EXPECT_EQ(controller.locationDialog(), nullptr);
}

// Tab walks the popover in reading order; Space and Return act as a click, arrows walk the row.
TEST_F(PopoverViewTest, TheKeyboardReachesEveryControlInReadingOrderAndEveryControlHasAName)
{
    using Role = QAccessible::Role;
    const std::vector<std::pair<std::string, Role>> readingOrder{
        {"Lunaveil", Role::CheckBox},       {"Options", Role::Button},
        {"Red", Role::RadioButton},         {"Orange", Role::RadioButton},
        {"Yellow", Role::RadioButton},      {"Green", Role::RadioButton},
        {"Blue", Role::RadioButton},        {"White", Role::RadioButton},
        {"Black", Role::RadioButton},       {"Custom Color", Role::RadioButton},
        {"Intensity", Role::Slider},        {"Schedule", Role::CheckBox},
        {"Start of the tint", Role::SpinBox}, {"End of the tint", Role::SpinBox},
        {"True Colors", Role::CheckBox},    {"What True Colors does", Role::Button},
        {"Invert Colors", Role::CheckBox},  {"What Invert Colors does", Role::Button},
        {"Start at login", Role::CheckBox},
    };
    open();
    QWidget* view = controller.view();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view));
    const auto focused = [&] { return view->focusWidget(); };
    const auto accessible = [](QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); };
    outlet("lunaveilCheckboxOutlet")->setFocus(Qt::TabFocusReason);
    // A time picker takes a Tab for each of its fields, as every Qt time field does.
    std::vector<std::pair<std::string, Role>> reached;
    for (int tabs = 0; tabs < 30 && reached.size() < readingOrder.size(); ++tabs) {
        const std::pair<std::string, Role> control{accessible(focused())->text(QAccessible::Name).toStdString(),
                                                   accessible(focused())->role()};
        if (reached.empty() || reached.back() != control)
            reached.push_back(control);
        QTest::keyClick(focused(), Qt::Key_Tab);
    }
    EXPECT_EQ(reached, readingOrder);
    EXPECT_TRUE(accessible(row()->items()[2])->state().checked) << "the chosen swatch says so";
    EXPECT_FALSE(accessible(row()->items()[1])->state().checked);

    // Space on Orange chooses it; the row the hub then rebuilds keeps the focus on Orange.
    row()->items()[1]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focused(), Qt::Key_Space);
    EXPECT_EQ(calls.taken(), Names{"onBackgroundColorChanged off"});
    EXPECT_EQ(calls.colour, tint[1]);
    controller.setSelectedBackgroundColor(tint[1]);
    ASSERT_EQ(focused(), row()->items()[1]);
    QTest::keyClick(focused(), Qt::Key_Right);
    EXPECT_EQ(focused(), row()->items()[2]);
    QTest::keyClick(focused(), Qt::Key_Left);
    QTest::keyClick(focused(), Qt::Key_Left);
    QTest::keyClick(focused(), Qt::Key_Left);
    EXPECT_EQ(focused(), row()->items()[0]) << "the arrows stop at the row's end";

    // Return on a check box and a help button, and the press action of a screen reader.
    outlet("trueColorsCheckboxOutlet")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focused(), Qt::Key_Return);
    EXPECT_EQ(rowColours(), PopoverColourTables::trueColors());
    EXPECT_EQ(accessible(row()->items()[5])->text(QAccessible::Name), QStringLiteral("Black"));
    outlet<QToolButton>("trueColorsHelpButton")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focused(), Qt::Key_Return);
    accessible(row()->items()[0])->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(calls.taken(), (Names{"onBackgroundColorChanged on", "onTrueColorsHelpRequest",
                                    "onBackgroundColorChanged on"}));
    EXPECT_EQ(calls.colour, Colour::redColor());
}

// A tray is taken to run, so nothing opens by itself.
TEST(PopoverPresenterTest, RelaysActionsToTheHubsHandlersOfTheMomentAndUpdatesToTheView)
{
    PopoverViewPresenter presenter([] { return true; });
    int willOpen = 0;
    presenter.onPopoverWillOpen = [&] { ++willOpen; };
    presenter.showPopover();  // before the start: no tray item, nothing built
    EXPECT_EQ(presenter.popupSystem(), nullptr);
    EXPECT_FALSE(presenter.popoverViewController().isViewLoaded());

    presenter.startService(Colour::redColor(), 25.0, false, systemNow(), systemNow(), false, false, false, false);
    presenter.showPopover();
    EXPECT_EQ(willOpen, 1);
    QWidget& view = *presenter.popoverViewController().view();
    EXPECT_TRUE(view.isVisible());
    const auto box = [&](const char* name) { return view.findChild<QCheckBox*>(QString::fromLatin1(name)); };
    box("inverseColorsCheckboxOutlet")->click();  // no handlers yet: dropped
    Calls calls;
    calls.recordFrom(presenter);
    box("inverseColorsCheckboxOutlet")->click();
    QTest::keyClick(view.findChild<QSlider*>(), Qt::Key_Right);
    box("trueColorsCheckboxOutlet")->click();
    EXPECT_EQ(calls.taken(),
              (Names{"onInverseColorsChanged off", "onBackgroundAlphaChanged 26", "onBackgroundColorChanged on"}));
    EXPECT_EQ(calls.colour, std::nullopt);
    presenter.onLightMonitorNowChanged = [&](bool on) { calls.names.push_back(on ? "replaced on" : "replaced off"); };
    box("lunaveilCheckboxOutlet")->click();
    EXPECT_EQ(calls.taken(), Names{"replaced on"});

    presenter.setInverseColorsEnabled(true);
    presenter.setLightMonitorNowCheckBox(false);
    presenter.setTrueColorsCheckBox(false);
    presenter.setBackgroundAlpha(70.0);
    EXPECT_TRUE(box("inverseColorsCheckboxOutlet")->isChecked());
    EXPECT_FALSE(box("lunaveilCheckboxOutlet")->isChecked());
    EXPECT_FALSE(box("trueColorsCheckboxOutlet")->isChecked());
    EXPECT_EQ(view.findChild<QSlider*>()->value(), 70);
    EXPECT_TRUE(calls.names.empty()) << "an update fired a handler";

    // The tray's menu: its first entry says what it will do, and does it as the switch does.
    QMenu& menu = presenter.trayMenu();
    const auto entry = [&](int i) { return menu.actions().at(i); };
    Q_EMIT menu.aboutToShow();
    EXPECT_EQ(entry(0)->text(), QStringLiteral("Tint On"));
    entry(0)->trigger();
    EXPECT_EQ(calls.taken(), Names{"replaced on"});
    EXPECT_TRUE(box("lunaveilCheckboxOutlet")->isChecked());
    Q_EMIT menu.aboutToShow();
    EXPECT_EQ(entry(0)->text(), QStringLiteral("Tint Off"));
    entry(2)->trigger();  // after the separator
    entry(3)->trigger();
    EXPECT_EQ(calls.taken(), (Names{"onHelpRequest", "onQuitRequest"}));
    presenter.hidePopover();
    EXPECT_FALSE(presenter.popupSystem()->isActive() || view.isVisible());
    presenter.showPopover();  // and it goes cleanly with the popover open
}

}  // namespace
}  // namespace lunaveil
