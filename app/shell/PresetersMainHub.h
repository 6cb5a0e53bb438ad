#pragma once
// The coordinator: loads the settings, relays the user's actions and decides when the tint is on.

#include "shell/HubServices.h"

#include <QCoreApplication>

#include <filesystem>
#include <memory>
#include <optional>

namespace lunaveil {

// What the tint and the schedule are now, as the popover shows them.
struct TintState {
    bool tintRunning = false;
    bool trueColor = false;
    bool inverted = false;
    double alphaPercent = 0.0;
    Colour colour;
    bool scheduleActive = false;
    TimePoint scheduleStart{};
    TimePoint scheduleStop{};
    friend bool operator==(const TintState&, const TintState&) = default;
};

class PresetersMainHub {
    Q_DECLARE_TR_FUNCTIONS(lunaveil::PresetersMainHub)

public:
    explicit PresetersMainHub(HubServices services);
    PresetersMainHub(const PresetersMainHub&) = delete;
    PresetersMainHub& operator=(const PresetersMainHub&) = delete;

    // Called once after construction: greetings on the first run, settings loaded, presenter and schedule started.
    void startService();
    void showPopover();
    // Switches the tint off when it runs and on when it does not, as the popover's switch does.
    void toggleTint();

    // Commands from outside the popover (the session bus, the tray's menu): each goes through the
    // handler of the matching control and shows its result in the popover.
    void switchTint(bool on);
    void switchTrueColors(bool on);
    void switchInverseColors(bool on);
    void changeOpacity(double alphaPercent);
    // In the current mode; a colour of no swatch shows on the custom swatch.
    void changeColour(const Colour& colour);
    void changeSchedule(bool active, TimePoint start, TimePoint stop);

    TintState state() const;
    const EffectsOffered& effectsOffered() const { return services_.effectsOffered; }
    // Called after anything that may have changed state(), from any source.
    std::function<void()> onStateChanged;
    // The colour panel's report of its current colour.
    void customBackgroundColorUpdate(const ColourPanel& sender);

    // The handlers, in the order they are installed on the presenter and the monitor.
    void onBackgroundColorChanged(std::optional<Colour> colour, bool trueColor);
    void onBackgroundCustomColorSelected(const Colour& colour);
    void onBackgroundAlphaChanged(double alphaPercent);
    void onStartAtLoginPreferencesChanged(bool enabled);
    void onScheduleIsActivePreferencesChanged(bool active, TimePoint start, TimePoint stop);
    void onLightMonitorNowChanged(bool on);
    void onInverseColorsChanged(bool on);
    void onDuringInterval();
    void onOutsideInterval();
    void onScheduleFollowsSunChanged(bool follows);
    void onScheduleLocationChanged(std::optional<Coordinates> place);
    // The located place (GeoClue's) changed: followed unless a place was set by hand.
    void onLocatedPlaceChanged();
    void onHelpRequest();
    void onInverseColorsHelpRequest();
    void onTrueColorsHelpRequest();
    void onQuitRequest();

private:
    void wirePresenter();
    void applyBackgroundColor(std::optional<Colour> colour, bool trueColor);
    void startSchedule(TimePoint start, TimePoint stop);
    // What the schedule follows now, and the place it follows when that is the sun.
    SunFollowing sunFollowing() const;
    void showSunFollowing();
    void restartSchedule();
    void stopSchedule();
    void clearInverseColors();
    void switchTintOffFromSchedule();
    bool tintIsRunning() const;
    void showAlert(const std::string& messageText, const std::string& informativeText);
    void tellOfSetAsideSettings();
    void stateMayHaveChanged();

    HubServices services_;
    // A collaborator whose maker is empty (not part of this build) stays null and is skipped.
    std::unique_ptr<Presenter> popoverViewPresenter_;
    std::unique_ptr<BackgroundDimmer> backgroundDimmerService_;
    std::unique_ptr<SettingsDataAccess> settingsDataAccess_;
    std::unique_ptr<GreetingsWindow> greetingsWindowController_;
    std::unique_ptr<HelpWindow> helpWindowController_;
    std::unique_ptr<ColourPanel> colorPanel_;
    std::unique_ptr<MessageAlert> messageAlert_;
    std::unique_ptr<ScheduleMonitor> dateTimeMonitor_;
    // A damaged settings file set aside, not yet told of; it is told once the presenter runs.
    std::optional<std::filesystem::path> settingsSetAside_;
    bool presenterStarted_ = false;

    Colour backgroundColor_ = Colour::clearColor();
    double backgroundAlpha_ = 0.0;
    bool trueColor_ = false;
    bool scheduleIsActive_ = false;
    bool scheduleFollowsSun_ = false;
    bool startAtLogin_ = false;
    bool lightMonitorNowIsEnabled_ = false;
    bool inverseColorsIsEnabled_ = false;
    // The popover waits for the greetings window to close, so that neither covers the other.
    bool greetingsOpen_ = false;
    bool popoverAfterGreetings_ = false;
    bool wasDuringScheduledInterval_ = false;
    bool userForcedTheMonitorLightOption_ = false;
    bool schedulerForcedTheMonitorLightOption_ = false;
};

}  // namespace lunaveil
