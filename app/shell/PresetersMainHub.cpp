#include "PresetersMainHub.h"

#include <QString>

#include <utility>

namespace lunaveil {
namespace {

template <typename T>
std::unique_ptr<T> make(const HubServices::Maker<T>& maker)
{
    return maker ? maker() : nullptr;
}

}  // namespace

PresetersMainHub::PresetersMainHub(HubServices services) : services_(std::move(services))
{
    settingsDataAccess_ = services_.makeSettings();
    settingsDataAccess_->keyValueDataAccess().onSetAside = [this](const std::filesystem::path& keptAs) {
        settingsSetAside_ = keptAs;
        if (presenterStarted_)
            tellOfSetAsideSettings();
    };
    backgroundDimmerService_ = make(services_.makeDimmer);
    popoverViewPresenter_ = make(services_.makePresenter);
    dateTimeMonitor_ = services_.makeScheduleMonitor();
    wirePresenter();
}

void PresetersMainHub::wirePresenter()
{
    if (!popoverViewPresenter_)
        return;
    Presenter& p = *popoverViewPresenter_;
    p.onBackgroundColorChanged = [this](std::optional<Colour> c, bool tc) { onBackgroundColorChanged(c, tc); };
    p.onBackgroundCustomColorSelected = [this](const Colour& c) { onBackgroundCustomColorSelected(c); };
    p.onBackgroundAlphaChanged = [this](double a) { onBackgroundAlphaChanged(a); };
    p.onStartAtLoginPreferencesChanged = [this](bool on) { onStartAtLoginPreferencesChanged(on); };
    p.onScheduleIsActivePreferencesChanged = [this](bool active, TimePoint start, TimePoint stop) {
        onScheduleIsActivePreferencesChanged(active, start, stop);
    };
    p.onLightMonitorNowChanged = [this](bool on) { onLightMonitorNowChanged(on); };
    p.onInverseColorsChanged = [this](bool on) { onInverseColorsChanged(on); };
    p.onHelpRequest = [this] { onHelpRequest(); };
    p.onInverseColorsHelpRequest = [this] { onInverseColorsHelpRequest(); };
    p.onTrueColorsHelpRequest = [this] { onTrueColorsHelpRequest(); };
    p.onQuitRequest = [this] { onQuitRequest(); };
    // Under the same rule as any other opening: the greetings come first.
    p.onOpenWithoutTrayRequest = [this] { showPopover(); };
    p.onScheduleFollowsSunChanged = [this](bool follows) { onScheduleFollowsSunChanged(follows); };
    p.onScheduleLocationChanged = [this](std::optional<Coordinates> place) { onScheduleLocationChanged(place); };
}

void PresetersMainHub::startService()
{
    SettingsDataAccess& settings = *settingsDataAccess_;
    if (!settings.getFirstTimeOpened()) {
        greetingsWindowController_ = make(services_.makeGreetingsWindow);
        if (greetingsWindowController_) {
            greetingsOpen_ = true;
            greetingsWindowController_->onClosed = [this] {
                greetingsOpen_ = false;
                if (std::exchange(popoverAfterGreetings_, false))
                    showPopover();
            };
            greetingsWindowController_->showServiceWindow();
        }
        settings.setFirstTimeOpened(true);
    }
    backgroundAlpha_ = settings.getBackgroundAlpha();
    trueColor_ = settings.getTrueColor();
    backgroundColor_ = trueColor_ ? settings.getBackgroundTrueColor() : settings.getBackgroundColor();
    const Schedule schedule = settings.getSchedule();
    scheduleIsActive_ = schedule.isActive;
    scheduleFollowsSun_ = settings.getScheduleFollowsSun();
    startAtLogin_ = settings.getStartAtLogin();
    lightMonitorNowIsEnabled_ = settings.getLightMonitorNowIsEnabled();
    inverseColorsIsEnabled_ = settings.getInverseColorsIsEnabled();

    if (popoverViewPresenter_)
        popoverViewPresenter_->startService(backgroundColor_, backgroundAlpha_, scheduleIsActive_, schedule.start,
                                            schedule.stop, startAtLogin_, lightMonitorNowIsEnabled_,
                                            inverseColorsIsEnabled_, trueColor_);
    if (popoverViewPresenter_)
        popoverViewPresenter_->setEffectsOffered(services_.effectsOffered);
    showSunFollowing();
    presenterStarted_ = true;
    tellOfSetAsideSettings();
    if (lightMonitorNowIsEnabled_ && backgroundDimmerService_)
        backgroundDimmerService_->startService(backgroundColor_, backgroundAlpha_, trueColor_);

    if (scheduleIsActive_)
        startSchedule(schedule.start, schedule.stop);
    else
        stopSchedule();
    stateMayHaveChanged();
}

// Once for each damaged settings file, when the presenter can tell it.
void PresetersMainHub::tellOfSetAsideSettings()
{
    const std::optional<std::filesystem::path> keptAs = std::exchange(settingsSetAside_, std::nullopt);
    if (!keptAs || !popoverViewPresenter_)
        return;
    popoverViewPresenter_->showNotice(
        tr("Lunaveil's settings were damaged").toStdString(),
        tr("The damaged file was kept as %1. Lunaveil uses its default settings.")
            .arg(QString::fromStdString(keptAs->string()))
            .toStdString());
}

void PresetersMainHub::showPopover()
{
    if (greetingsOpen_) {
        popoverAfterGreetings_ = true;
        return;
    }
    if (popoverViewPresenter_)
        popoverViewPresenter_->showPopover();
}

SunFollowing PresetersMainHub::sunFollowing() const
{
    SunFollowing following{.followsSun = scheduleFollowsSun_};
    if (!scheduleFollowsSun_)
        return following;
    following.place = settingsDataAccess_->getScheduleLocation();
    following.placeSetByHand = following.place.has_value();
    if (!following.place && services_.locate) {
        const PlaceAnswer answer = services_.locate();
        following.place = answer.place;
        following.whyNoPlace = answer.problem;
    }
    return following;
}

// A running schedule starts again on its stored times, with the place as it is now.
void PresetersMainHub::restartSchedule()
{
    if (!scheduleIsActive_)
        return;
    const Schedule schedule = settingsDataAccess_->getSchedule();
    startSchedule(schedule.start, schedule.stop);
}

void PresetersMainHub::showSunFollowing()
{
    if (popoverViewPresenter_)
        popoverViewPresenter_->setSunFollowing(sunFollowing());
}

// The sun's night at the place where one is known; else the two times stay in force.
void PresetersMainHub::startSchedule(TimePoint start, TimePoint stop)
{
    if (const SunFollowing following = sunFollowing(); following.place)
        dateTimeMonitor_->startTimerFollowingSun(*following.place);
    else
        dateTimeMonitor_->startTimer(start, stop);
    dateTimeMonitor_->onDuringInterval = [this] { onDuringInterval(); };
    dateTimeMonitor_->onOutsideInterval = [this] { onOutsideInterval(); };
}

void PresetersMainHub::stopSchedule()
{
    dateTimeMonitor_->stopTimer();
    dateTimeMonitor_->onOutsideInterval = nullptr;
    dateTimeMonitor_->onDuringInterval = nullptr;
}

bool PresetersMainHub::tintIsRunning() const
{
    return backgroundDimmerService_ && backgroundDimmerService_->serviceIsRunning();
}

// Shows the invert switch off; the overlay call that follows gives the displays back their transfer.
void PresetersMainHub::clearInverseColors()
{
    if (popoverViewPresenter_)
        popoverViewPresenter_->setInverseColorsEnabled(false);
    inverseColorsIsEnabled_ = false;
}

void PresetersMainHub::applyBackgroundColor(std::optional<Colour> colour, bool trueColor)
{
    if (!colour) {
        colour = trueColor ? settingsDataAccess_->getBackgroundTrueColor() : settingsDataAccess_->getBackgroundColor();
        if (popoverViewPresenter_)
            popoverViewPresenter_->setSelectedBackgroundColor(*colour);
    }
    if (tintIsRunning())
        clearInverseColors();
    backgroundColor_ = *colour;
    trueColor_ = trueColor;
    if (backgroundDimmerService_)
        backgroundDimmerService_->changeBackground(backgroundColor_, backgroundAlpha_, trueColor_);
    // Each mode keeps its own last colour.
    if (trueColor)
        settingsDataAccess_->setBackgroundTrueColor(*colour);
    else
        settingsDataAccess_->setBackgroundColor(*colour);
    settingsDataAccess_->setTrueColor(trueColor);
    stateMayHaveChanged();
}

void PresetersMainHub::onBackgroundColorChanged(std::optional<Colour> colour, bool trueColor)
{
    applyBackgroundColor(colour, trueColor);
}

void PresetersMainHub::onBackgroundCustomColorSelected(const Colour& colour)
{
    if (!colorPanel_) {
        colorPanel_ = make(services_.makeColourPanel);
        if (!colorPanel_)
            return;
        colorPanel_->setColor(colour);
        colorPanel_->onColorChanged = [this] { customBackgroundColorUpdate(*colorPanel_); };
    }
    colorPanel_->makeKeyAndOrderFront();
}

void PresetersMainHub::customBackgroundColorUpdate(const ColourPanel& sender)
{
    const Colour chosen = sender.color();
    if (popoverViewPresenter_)
        popoverViewPresenter_->changeBackgroundCustomColor(chosen);
    // A custom colour is always a plain tint colour.
    applyBackgroundColor(chosen, false);
}

void PresetersMainHub::onBackgroundAlphaChanged(double alphaPercent)
{
    backgroundAlpha_ = alphaPercent;
    settingsDataAccess_->setBackgroundAlpha(alphaPercent);
    if (tintIsRunning())
        clearInverseColors();
    if (backgroundDimmerService_)
        backgroundDimmerService_->changeBackground(backgroundColor_, backgroundAlpha_, trueColor_);
    stateMayHaveChanged();
}

void PresetersMainHub::onStartAtLoginPreferencesChanged(bool enabled)
{
    std::optional<std::string> problem;
    if (auto loginItem = make(services_.makeLoginItem))
        problem = loginItem->startAtLogin(enabled);
    // A start at login that cannot happen is neither shown nor stored as on.
    if (enabled && problem) {
        enabled = false;
        if (popoverViewPresenter_)
            popoverViewPresenter_->setStartAtLoginCheckBox(false);
    }
    startAtLogin_ = enabled;
    settingsDataAccess_->setStartAtLogin(enabled);
    if (problem)
        showAlert(tr("Lunaveil cannot change starting at login").toStdString(),
                  tr("The reason: %1").arg(QString::fromStdString(*problem)).toStdString());
}

void PresetersMainHub::onScheduleIsActivePreferencesChanged(bool active, TimePoint start, TimePoint stop)
{
    scheduleIsActive_ = active;
    settingsDataAccess_->setScheduleIsActive(active, start, stop);
    // The tint is left as it is: switching the schedule off does not end a tint it started.
    if (active)
        startSchedule(start, stop);
    else
        stopSchedule();
    stateMayHaveChanged();
}

void PresetersMainHub::onLightMonitorNowChanged(bool on)
{
    userForcedTheMonitorLightOption_ = true;
    lightMonitorNowIsEnabled_ = on;
    clearInverseColors();
    settingsDataAccess_->setLightMonitorNowIsEnabled(on);
    if (backgroundDimmerService_) {
        if (on) {
            if (!backgroundDimmerService_->serviceIsRunning())
                backgroundDimmerService_->startService(backgroundColor_, backgroundAlpha_, trueColor_);
        } else {
            clearInverseColors();
            backgroundDimmerService_->stopService();
        }
    }
    stateMayHaveChanged();
}

void PresetersMainHub::toggleTint()
{
    switchTint(!tintIsRunning());
}

void PresetersMainHub::switchTint(bool on)
{
    if (popoverViewPresenter_)
        popoverViewPresenter_->setLightMonitorNowCheckBox(on);
    onLightMonitorNowChanged(on);
}

void PresetersMainHub::switchTrueColors(bool on)
{
    // The row of swatches follows the mode before the mode's stored colour is selected in it.
    if (popoverViewPresenter_)
        popoverViewPresenter_->setTrueColorsCheckBox(on);
    onBackgroundColorChanged(std::nullopt, on);
}

void PresetersMainHub::switchInverseColors(bool on)
{
    if (popoverViewPresenter_)
        popoverViewPresenter_->setInverseColorsEnabled(on);
    onInverseColorsChanged(on);
}

void PresetersMainHub::changeOpacity(double alphaPercent)
{
    if (popoverViewPresenter_)
        popoverViewPresenter_->setBackgroundAlpha(alphaPercent);
    onBackgroundAlphaChanged(alphaPercent);
}

void PresetersMainHub::changeColour(const Colour& colour)
{
    if (popoverViewPresenter_)
        popoverViewPresenter_->setSelectedBackgroundColor(colour);
    onBackgroundColorChanged(colour, trueColor_);
}

void PresetersMainHub::changeSchedule(bool active, TimePoint start, TimePoint stop)
{
    if (popoverViewPresenter_)
        popoverViewPresenter_->setSchedule(active, start, stop);
    onScheduleIsActivePreferencesChanged(active, start, stop);
}

TintState PresetersMainHub::state() const
{
    const Schedule schedule = settingsDataAccess_->getSchedule();
    return {.tintRunning = tintIsRunning(),
            .trueColor = trueColor_,
            .inverted = inverseColorsIsEnabled_,
            .alphaPercent = backgroundAlpha_,
            .colour = backgroundColor_,
            .scheduleActive = scheduleIsActive_,
            .scheduleStart = schedule.start,
            .scheduleStop = schedule.stop};
}

void PresetersMainHub::stateMayHaveChanged()
{
    if (const auto callback = onStateChanged)
        callback();
}

void PresetersMainHub::onInverseColorsChanged(bool on)
{
    inverseColorsIsEnabled_ = on;
    settingsDataAccess_->setInverseColorsIsEnabled(on);
    if (auto screenControl = make(services_.makeScreenControl))
        screenControl->setContrast(on);
    if (backgroundDimmerService_) {
        if (on) {
            backgroundDimmerService_->closeBackgroundWindows();
        } else if (lightMonitorNowIsEnabled_ || backgroundDimmerService_->serviceIsRunning()) {
            // A tint that is still running (the schedule's, whose windows the inversion closed)
            // comes back too, so the tint switch never shows on over untinted screens.
            backgroundDimmerService_->startService(backgroundColor_, backgroundAlpha_, trueColor_);
        }
    }
    stateMayHaveChanged();
}

void PresetersMainHub::onDuringInterval()
{
    wasDuringScheduledInterval_ = true;
    if (schedulerForcedTheMonitorLightOption_) {
        userForcedTheMonitorLightOption_ = false;
        schedulerForcedTheMonitorLightOption_ = false;
    }
    if (!scheduleIsActive_ || tintIsRunning() || userForcedTheMonitorLightOption_)
        return;
    if (popoverViewPresenter_)
        popoverViewPresenter_->setLightMonitorNowCheckBox(true);
    if (inverseColorsIsEnabled_ && services_.effectsOffered.displayGamma)
        return;  // the switch shows on, but inverted screens stay without the overlay
    if (backgroundDimmerService_)
        backgroundDimmerService_->startService(backgroundColor_, backgroundAlpha_, trueColor_);
    stateMayHaveChanged();
}

void PresetersMainHub::onOutsideInterval()
{
    if (wasDuringScheduledInterval_) {
        // The clock has just left the interval: the schedule takes over again.
        userForcedTheMonitorLightOption_ = false;
        if (scheduleIsActive_ && tintIsRunning())
            switchTintOffFromSchedule();
    } else if (scheduleIsActive_ && tintIsRunning() && !userForcedTheMonitorLightOption_) {
        switchTintOffFromSchedule();
    }
    wasDuringScheduledInterval_ = false;
    schedulerForcedTheMonitorLightOption_ = true;
}

void PresetersMainHub::switchTintOffFromSchedule()
{
    if (popoverViewPresenter_)
        popoverViewPresenter_->setLightMonitorNowCheckBox(false);
    clearInverseColors();
    backgroundDimmerService_->stopService();
    stateMayHaveChanged();
}

// As a change of the schedule's times: the hold of the tint switch lasts to the next boundary.
void PresetersMainHub::onScheduleFollowsSunChanged(bool follows)
{
    scheduleFollowsSun_ = follows;
    settingsDataAccess_->setScheduleFollowsSun(follows);
    showSunFollowing();
    restartSchedule();
    stateMayHaveChanged();
}

void PresetersMainHub::onScheduleLocationChanged(std::optional<Coordinates> place)
{
    if (place && !onTheGlobe(*place))
        return;  // the dialog refuses such a place; nothing off the globe is ever stored
    settingsDataAccess_->setScheduleLocation(place);
    showSunFollowing();
    if (scheduleFollowsSun_)
        restartSchedule();
}

void PresetersMainHub::onLocatedPlaceChanged()
{
    if (!scheduleFollowsSun_ || settingsDataAccess_->getScheduleLocation())
        return;
    showSunFollowing();
    restartSchedule();
}

void PresetersMainHub::onHelpRequest()
{
    if (helpWindowController_) {
        helpWindowController_->focus();
        return;
    }
    helpWindowController_ = make(services_.makeHelpWindow);
    if (helpWindowController_)
        helpWindowController_->showWindowService();
}

void PresetersMainHub::showAlert(const std::string& messageText, const std::string& informativeText)
{
    if (!services_.makeAlert)
        return;
    messageAlert_ = services_.makeAlert(messageText, informativeText);
    messageAlert_->runModal();
}

void PresetersMainHub::onInverseColorsHelpRequest()
{
    showAlert(tr("Invert Colors").toStdString(),
              tr("Use this option if you are working in a very dark room. It will help your eyes adapt and "
                 "see better")
                  .toStdString());
}

void PresetersMainHub::onTrueColorsHelpRequest()
{
    showAlert(tr("True Colors").toStdString(),
              tr("Use this option to change the real (hardware enabled) spectrum of your display.").toStdString());
}

void PresetersMainHub::onQuitRequest()
{
    if (services_.quit)
        services_.quit();
}

}  // namespace lunaveil
