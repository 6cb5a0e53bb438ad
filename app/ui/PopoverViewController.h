#pragma once
// The popover's controls: shows the state the hub hands it and turns each user action into one callback.

#include "common/Clock.h"
#include "common/Colour.h"
#include "shell/Collaborators.h"

#include <QLocale>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace Ui {
class PopoverView;
}

namespace lunaveil {

class LocationDialog;
class OptionsMenu;

// The view comes from the interface file PopoverView.ui, whose widgets are the outlets (found by
// their object names, e.g. "scheduleCheckboxOutlet"). It is built the first time view() is
// called, when the popover first opens; until then the update operations only keep what the
// first display needs. The controller applies no effect itself: the hub decides and stores.
class PopoverViewController : public QObject, public PopoverActions {
    Q_OBJECT
public:
    PopoverViewController();
    ~PopoverViewController() override;

    // The popover's content, built on the first call.
    QWidget* view();
    bool isViewLoaded() const { return view_ != nullptr; }

    // Keeps the state the controls show when the view is built; touches no control.
    void initiate(const Colour& backgroundColor, double backgroundAlpha, bool scheduleIsActive, TimePoint scheduleStart,
                  TimePoint scheduleStop, bool startAtLogin, bool lightMonitorNowIsEnabled, bool inverseColorsIsEnabled,
                  bool trueColor);
    // The custom swatch shows colour (needs the built view).
    void changeBackgroundCustomColor(const Colour& colour);
    // Whether the tint switch shows on.
    bool tintSwitchIsOn() const;
    // The tint switch and its status light show on; kept for the first display.
    void setLightMonitorNowCheckBox(bool on);
    void setStartAtLoginCheckBox(bool on);
    // The swatch equal to colour is selected; nothing before the view is built.
    void setSelectedBackgroundColor(const Colour& colour);
    // The Invert Colors box shows on; nothing before the view is built.
    void setInverseColorsEnabled(bool on);

    // What a command from outside the popover changed; kept for the first display, and firing nothing.
    void setTrueColorsCheckBox(bool on);
    void setBackgroundAlpha(double alphaPercent);
    void setSchedule(bool active, TimePoint start, TimePoint stop);
    // With the sun followed at a known place, the pickers show today's sunset and sunrise, read-only.
    void setSunFollowing(const SunFollowing& following);
    // The location dialog while it is open.
    LocationDialog* locationDialog() const { return locationDialog_.get(); }

    // Disables the controls of effects the session cannot show, each saying why in its tooltip.
    void setEffectsOffered(const EffectsOffered& offered);

    // The options menu built at the last click of the menu button, while it lives.
    OptionsMenu* optionsMenu() const { return optionsMenu_.get(); }

    // Where the clock format comes from (12- or 24-hour pickers): the system's by default.
    std::function<QLocale()> locale = [] { return QLocale::system(); };

    // The pickers' font, in pixels at the popover's 12-pixel text: the 12-hour times are longer.
    static constexpr int twelveHourPickerPixelSize = 11;
    static constexpr int twentyFourHourPickerPixelSize = 13;
    // True when the locale's time format shows AM/PM.
    static bool usesTwelveHourClock(const QLocale& locale);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewDidLoad();
    void connectControls();
    void refreshControls();
    void buildRow();
    void applyTabOrder();
    void applyScheduleLook();
    void showScheduleTimes();
    void chooseLocation();
    void layoutTimePickers();
    void setStatusLightShown(bool shown);
    void applyEffectsOffered();

    void scheduleButtonClick();
    void timePickerChanged();
    void loginButtonClick();
    void lunaveilButtonClick();
    void alphaSliderChanged(int value);
    void inverseColorsCheckboxClick();
    void trueColorsCheckboxClick();
    void inverseColorsHelpButtonClick();
    void trueColorsHelpButtonClick();
    void colorSelected(const Colour& colour);
    void customColorSelected(const Colour& colour);
    void showOptionsMenu();
    void helpMenuButtonClick();
    void quitApplicationMenuButtonClick();

    std::unique_ptr<QWidget> view_;
    std::unique_ptr<Ui::PopoverView> ui_;
    std::unique_ptr<OptionsMenu> optionsMenu_;
    std::unique_ptr<LocationDialog> locationDialog_;

    Colour currentSelectedBackgroundColor_ = Colour::clearColor();
    double currentSelectedBackgroundAlpha_ = 0.0;
    bool scheduleIsActive_ = false;
    TimePoint scheduleStart_ = systemNow();
    TimePoint scheduleStop_ = scheduleStart_;
    bool startAtLogin_ = false;
    bool lightMonitorNowIsEnabled_ = false;
    bool inverseColorsIsEnabled_ = false;
    bool trueColorsDisplay_ = false;
    EffectsOffered effectsOffered_;
    SunFollowing sunFollowing_;
    QString startToolTip_;
    QString stopToolTip_;

    const std::vector<Colour> colors_;
    const std::vector<std::optional<Colour>> displayColors_;
    const std::vector<Colour> trueColors_;
    const std::vector<std::optional<Colour>> displayTrueColors_;
};

}  // namespace lunaveil
