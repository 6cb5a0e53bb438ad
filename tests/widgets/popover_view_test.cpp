// The popover's view controller: what its controls show, and the one callback each user action fires.

#include "PopoverCalls.h"
#include "settings/Constants.h"
#include "ui/OptionsMenu.h"
#include "ui/PopoverColourTables.h"
#include "ui/PopoverViewController.h"
#include "ui/QtColour.h"
#include "ui/RoundedViewCheckGroup.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <chrono>

namespace lunaveil {
namespace {

using testing::PopoverCalls;
using Names = std::vector<std::string>;

TimePoint at(int hour, int minute)
{
    const QDateTime local(QDate(2024, 5, 1), QTime(hour, minute));
    return TimePoint(std::chrono::milliseconds(local.toMSecsSinceEpoch()));
}

const QLocale twentyFourHour(QLocale::German, QLocale::Germany);
const QLocale twelveHour(QLocale::English, QLocale::UnitedStates);

class PopoverViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controller.locale = [this] { return locale; };
        calls.recordFrom(controller);
    }

    // The state the hub hands over at start, then the first opening.
    void open(const Colour& colour = PopoverColourTables::colors()[2], bool scheduleIsActive = true,
              bool trueColor = false)
    {
        controller.initiate(colour, 40.0, scheduleIsActive, at(22, 0), at(7, 0), true, false, true, trueColor);
        controller.view()->show();
    }

    template <typename Widget>
    Widget* outlet(const char* name)
    {
        auto* widget = controller.view()->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QCheckBox* box(const char* name) { return outlet<QCheckBox>(name); }
    QDateTimeEdit* picker(const char* name) { return outlet<QDateTimeEdit>(name); }
    RoundedViewCheckGroup* row() { return outlet<RoundedViewCheckGroup>("roundedViewCheckGroupOutlet"); }
    QWidget* statusLight() { return outlet<QLabel>("lunaveilStatusLightViewOutlet"); }
    bool lightShown() { return statusLight()->isVisibleTo(controller.view()); }
    double scheduleOpacity()
    {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(outlet<QWidget>("scheduleDatesViewOutlet")->graphicsEffect());
        EXPECT_NE(effect, nullptr);
        return effect ? effect->opacity() : -1;
    }
    std::vector<Colour> rowColours()
    {
        std::vector<Colour> colours;
        for (const RoundedViewCheckButton* item : row()->items())
            colours.push_back(item->color);
        return colours;
    }
    // The index of the one selected swatch, or -1 when not exactly one is.
    int selectedSwatch()
    {
        int selected = -1;
        for (std::size_t i = 0; i < row()->items().size(); ++i)
            if (row()->items()[i]->isSelected())
                selected = selected == -1 ? static_cast<int>(i) : -2;
        return selected < 0 ? -1 : selected;
    }
    void clickSwatch(std::size_t index)
    {
        RoundedViewCheckButton* item = row()->items().at(index);
        QTest::mouseClick(item, Qt::LeftButton, {}, item->rect().center());
    }
    // Takes the calls made so far, leaving none.
    Names taken() { return std::exchange(calls.names, {}); }

    QLocale locale = twentyFourHour;
    PopoverViewController controller;
    PopoverCalls calls;
};

TEST_F(PopoverViewTest, FirstOpeningShowsWhatTheHubHandedOverAndFiresNothing)
{
    controller.initiate(Colour::redColor(), 10.0, false, at(6, 0), at(6, 30), false, false, false, true);
    controller.initiate(PopoverColourTables::colors()[2], 40.0, true, at(22, 0), at(7, 0), true, false, true, false);
    EXPECT_FALSE(controller.isViewLoaded());
    controller.view()->show();

    EXPECT_TRUE(box("scheduleCheckboxOutlet")->isChecked());
    EXPECT_EQ(picker("startHourDatePickerOutlet")->time(), QTime(22, 0));
    EXPECT_EQ(picker("stopHourDatePickerOutlet")->time(), QTime(7, 0));
    EXPECT_TRUE(box("startAtLoginCheckboxOutlet")->isChecked());
    EXPECT_FALSE(box("lunaveilCheckboxOutlet")->isChecked());
    EXPECT_TRUE(box("inverseColorsCheckboxOutlet")->isChecked());
    EXPECT_FALSE(box("trueColorsCheckboxOutlet")->isChecked());
    EXPECT_EQ(outlet<QSlider>("alphaSlideviewOutlet")->value(), 40);
    EXPECT_EQ(selectedSwatch(), 2);
    EXPECT_FALSE(lightShown());  // as the interface file has it
    EXPECT_TRUE(calls.names.empty());
}

TEST_F(PopoverViewTest, EachControlFiresExactlyOneCallbackWithItsValues)
{
    open();

    box("scheduleCheckboxOutlet")->click();
    EXPECT_EQ(taken(), Names{"onScheduleIsActivePreferencesChanged"});
    EXPECT_FALSE(calls.flag);
    EXPECT_EQ(calls.start, at(22, 0));
    EXPECT_EQ(calls.stop, at(7, 0));
    box("scheduleCheckboxOutlet")->click();
    EXPECT_EQ(taken(), Names{"onScheduleIsActivePreferencesChanged"});
    EXPECT_TRUE(calls.flag);

    // Either picker reports both times, with the schedule on.
    QDateTimeEdit* start = picker("startHourDatePickerOutlet");
    start->setCurrentSection(QDateTimeEdit::HourSection);
    QTest::keyClick(start, Qt::Key_Up);
    EXPECT_EQ(taken(), Names{"onScheduleIsActivePreferencesChanged"});
    EXPECT_TRUE(calls.flag);
    EXPECT_EQ(calls.start, at(23, 0));
    EXPECT_EQ(calls.stop, at(7, 0));
    QDateTimeEdit* stop = picker("stopHourDatePickerOutlet");
    stop->setCurrentSection(QDateTimeEdit::MinuteSection);
    QTest::keyClick(stop, Qt::Key_Up);
    EXPECT_EQ(taken(), Names{"onScheduleIsActivePreferencesChanged"});
    EXPECT_EQ(calls.start, at(23, 0));
    EXPECT_EQ(calls.stop, at(7, 1));

    box("startAtLoginCheckboxOutlet")->click();
    EXPECT_EQ(taken(), Names{"onStartAtLoginPreferencesChanged"});
    EXPECT_FALSE(calls.flag);

    box("lunaveilCheckboxOutlet")->click();
    EXPECT_EQ(taken(), Names{"onLightMonitorNowChanged"});
    EXPECT_TRUE(calls.flag);
    EXPECT_TRUE(lightShown());
    box("lunaveilCheckboxOutlet")->click();
    EXPECT_EQ(taken(), Names{"onLightMonitorNowChanged"});
    EXPECT_FALSE(calls.flag);
    EXPECT_FALSE(lightShown());

    QTest::keyClick(outlet<QSlider>("alphaSlideviewOutlet"), Qt::Key_Right);
    EXPECT_EQ(taken(), Names{"onBackgroundAlphaChanged"});
    EXPECT_EQ(calls.alpha, 41.0);

    box("inverseColorsCheckboxOutlet")->click();
    EXPECT_EQ(taken(), Names{"onInverseColorsChanged"});
    EXPECT_FALSE(calls.flag);

    outlet<QToolButton>("inverseColorsHelpButton")->click();
    EXPECT_EQ(taken(), Names{"onInverseColorsHelpRequest"});
    outlet<QToolButton>("trueColorsHelpButton")->click();
    EXPECT_EQ(taken(), Names{"onTrueColorsHelpRequest"});

    clickSwatch(3);
    EXPECT_EQ(taken(), Names{"onBackgroundColorChanged"});
    EXPECT_EQ(calls.colour, PopoverColourTables::colors()[3]);
    EXPECT_FALSE(calls.flag);

    // The custom swatch passes its own table colour, whatever it shows.
    controller.changeBackgroundCustomColor(Colour::blueColor());
    clickSwatch(7);
    EXPECT_EQ(taken(), Names{"onBackgroundCustomColorSelected"});
    EXPECT_EQ(calls.colour, Colour::rgb(193 / 255.0, 125 / 255.0, 209 / 255.0));

    box("trueColorsCheckboxOutlet")->click();
    EXPECT_EQ(taken(), Names{"onBackgroundColorChanged"});
    EXPECT_EQ(calls.colour, std::nullopt);
    EXPECT_TRUE(calls.flag);

    // In True Colors a swatch gives its pure colour, not the one it is drawn in.
    clickSwatch(0);
    EXPECT_EQ(taken(), Names{"onBackgroundColorChanged"});
    EXPECT_EQ(calls.colour, Colour::redColor());
    EXPECT_TRUE(calls.flag);
}

TEST_F(PopoverViewTest, OptionsMenuIsBuiltAtEveryClickAndFiresHelpOrQuit)
{
    open();
    auto* button = outlet<QWidget>("menuButtonOutlet");
    const auto clickMenuButtonAndChoose = [&](QAction* (OptionsMenu::*entry)() const) {
        QTimer::singleShot(0, controller.view(), [&] {
            OptionsMenu* menu = controller.optionsMenu();
            ASSERT_NE(menu, nullptr);
            EXPECT_TRUE(menu->isVisible());
            (menu->*entry)()->trigger();
            menu->close();
        });
        QTest::mouseClick(button, Qt::LeftButton);
    };

    clickMenuButtonAndChoose(&OptionsMenu::helpAction);
    EXPECT_EQ(taken(), Names{"onHelpRequest"});
    const QPointer<OptionsMenu> first = controller.optionsMenu();

    clickMenuButtonAndChoose(&OptionsMenu::quitAction);
    EXPECT_EQ(taken(), Names{"onQuitRequest"});
    EXPECT_TRUE(first.isNull());  // released when the next menu was built
    EXPECT_NE(controller.optionsMenu(), nullptr);
}

TEST_F(PopoverViewTest, ControlsLeftPartlyCheckedCountAsOff)
{
    open();
    for (const char* name : {"startAtLoginCheckboxOutlet", "inverseColorsCheckboxOutlet"}) {
        QCheckBox* tristate = box(name);
        tristate->setTristate(true);
        tristate->setCheckState(Qt::Unchecked);
        tristate->click();  // unchecked -> partly checked
        ASSERT_EQ(tristate->checkState(), Qt::PartiallyChecked);
    }
    EXPECT_EQ(taken(), (Names{"onStartAtLoginPreferencesChanged", "onInverseColorsChanged"}));
    EXPECT_FALSE(calls.flag);
}

TEST_F(PopoverViewTest, FreshTintRowSelectsTheDefaultColour)
{
    open(Constants::DEFAULT_DIM_BACKGROUND_COLOR);
    ASSERT_EQ(row()->size(), QSize(300, 14));
    ASSERT_EQ(rowColours(), PopoverColourTables::colors());
    // 255, 69, 0 is the second preset, which is drawn in plain orange.
    EXPECT_EQ(selectedSwatch(), 1);
    EXPECT_EQ(row()->items()[1]->backgroundColour(), toQColor(Colour::orangeColor()));
}

TEST_F(PopoverViewTest, ColourOutsideThePresetsIsCarriedByTheCustomSwatch)
{
    const Colour picked = Colour::rgb(0.2, 0.4, 0.6, 1.0, ColourSpace::DeviceRGB);
    open(picked);
    EXPECT_EQ(selectedSwatch(), 7);
    EXPECT_EQ(row()->items().back()->backgroundColour(), toQColor(picked));
}

TEST_F(PopoverViewTest, TrueColorsSwitchesBetweenTheTwoRows)
{
    // The hub hands over the colour of the mode it starts in; here plain orange, the True Colors default.
    open(Constants::DEFAULT_BACKGROUND_TRUE_COLOR);
    ASSERT_EQ(rowColours().size(), 8u);

    box("trueColorsCheckboxOutlet")->click();
    EXPECT_EQ(rowColours(), PopoverColourTables::trueColors());
    EXPECT_EQ(selectedSwatch(), 1);
    EXPECT_EQ(row()->findChildren<RoundedViewCheckButton*>(Qt::FindDirectChildrenOnly).size(), 6);

    // Back to the tint row; the hub then moves the selection to that mode's stored colour.
    box("trueColorsCheckboxOutlet")->click();
    EXPECT_EQ(rowColours(), PopoverColourTables::colors());
    EXPECT_EQ(row()->findChildren<RoundedViewCheckButton*>(Qt::FindDirectChildrenOnly).size(), 8);
    controller.setSelectedBackgroundColor(PopoverColourTables::colors()[4]);
    EXPECT_EQ(selectedSwatch(), 4);
    EXPECT_EQ(taken(), (Names{"onBackgroundColorChanged", "onBackgroundColorChanged"}));
    EXPECT_FALSE(calls.flag);
}

TEST_F(PopoverViewTest, PickersAreDimmedAndDisabledWhileTheScheduleIsOff)
{
    open(PopoverColourTables::colors()[0], false);
    EXPECT_FALSE(box("scheduleCheckboxOutlet")->isChecked());
    EXPECT_EQ(picker("startHourDatePickerOutlet")->time(), QTime(22, 0));
    EXPECT_EQ(picker("stopHourDatePickerOutlet")->time(), QTime(7, 0));
    EXPECT_FALSE(picker("startHourDatePickerOutlet")->isEnabled());
    EXPECT_FALSE(picker("stopHourDatePickerOutlet")->isEnabled());
    EXPECT_DOUBLE_EQ(scheduleOpacity(), 0.6);

    box("scheduleCheckboxOutlet")->click();
    EXPECT_TRUE(picker("startHourDatePickerOutlet")->isEnabled());
    EXPECT_TRUE(picker("stopHourDatePickerOutlet")->isEnabled());
    EXPECT_DOUBLE_EQ(scheduleOpacity(), 1.0);
    EXPECT_EQ(taken(), Names{"onScheduleIsActivePreferencesChanged"});
    EXPECT_TRUE(calls.flag);
    EXPECT_EQ(calls.start, at(22, 0));
    EXPECT_EQ(calls.stop, at(7, 0));
}

TEST_F(PopoverViewTest, PickersFollowTheLocalesClock)
{
    const auto expectLayout = [&](int fontSize, int startX, int stopX, int width, const QString& format) {
        for (QDateTimeEdit* each : {picker("startHourDatePickerOutlet"), picker("stopHourDatePickerOutlet")}) {
            EXPECT_EQ(each->font().pixelSize(), fontSize);
            EXPECT_EQ(each->width(), width);
            EXPECT_EQ(each->displayFormat(), format);
        }
        EXPECT_EQ(picker("startHourDatePickerOutlet")->x(), startX);
        EXPECT_EQ(picker("stopHourDatePickerOutlet")->x(), stopX);
    };
    EXPECT_FALSE(PopoverViewController::usesTwelveHourClock(twentyFourHour));
    EXPECT_TRUE(PopoverViewController::usesTwelveHourClock(twelveHour));

    open();
    expectLayout(13, 35, 110, 61, QStringLiteral("HH:mm"));

    // Laid out again each time the popover appears.
    controller.view()->hide();
    locale = twelveHour;
    controller.view()->show();
    expectLayout(11, 33, 103, 68, QStringLiteral("h:mm AP"));
    EXPECT_EQ(picker("startHourDatePickerOutlet")->time(), QTime(22, 0));
    EXPECT_TRUE(calls.names.empty());
}

TEST_F(PopoverViewTest, UpdatesBeforeTheFirstOpeningKeepOnlyTheTintSwitch)
{
    controller.initiate(PopoverColourTables::colors()[0], 25.0, true, at(22, 0), at(7, 0), false, false, false, false);
    controller.setLightMonitorNowCheckBox(true);
    controller.setInverseColorsEnabled(true);
    controller.setSelectedBackgroundColor(PopoverColourTables::colors()[5]);
    EXPECT_FALSE(controller.isViewLoaded());
    controller.view()->show();

    EXPECT_TRUE(box("lunaveilCheckboxOutlet")->isChecked());
    EXPECT_FALSE(lightShown());  // the interface file's until the next change
    EXPECT_FALSE(box("inverseColorsCheckboxOutlet")->isChecked());
    EXPECT_EQ(selectedSwatch(), 0);

    // Once the view is there, they reach the controls at once and fire nothing.
    controller.setLightMonitorNowCheckBox(true);
    EXPECT_TRUE(lightShown());
    controller.setLightMonitorNowCheckBox(false);
    EXPECT_FALSE(lightShown());
    EXPECT_FALSE(box("lunaveilCheckboxOutlet")->isChecked());
    controller.setInverseColorsEnabled(true);
    EXPECT_TRUE(box("inverseColorsCheckboxOutlet")->isChecked());
    controller.setSelectedBackgroundColor(PopoverColourTables::colors()[5]);
    EXPECT_EQ(selectedSwatch(), 5);
    controller.changeBackgroundCustomColor(Colour::greenColor());
    EXPECT_EQ(row()->items().back()->backgroundColour(), toQColor(Colour::greenColor()));
    EXPECT_TRUE(calls.names.empty());
}

}  // namespace
}  // namespace lunaveil
