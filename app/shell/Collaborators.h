#pragma once
// What the hub may call on the objects it drives, and nothing more.

#include "common/Clock.h"
#include "common/Colour.h"
#include "common/Coordinates.h"

#include <functional>
#include <optional>
#include <string>

namespace lunaveil {

// The tint itself: overlay windows, or the display transfer in True Colors mode.
class BackgroundDimmer {
public:
    virtual ~BackgroundDimmer() = default;
    virtual bool serviceIsRunning() const = 0;
    virtual void startService(const Colour& colour, double alphaPercent, bool trueColor) = 0;
    // Records the values always; changes the screens only while the service runs.
    virtual void changeBackground(const Colour& colour, double alphaPercent, bool trueColor) = 0;
    virtual void stopService() = 0;
    // Closes the windows and stops re-applying True Colors; serviceIsRunning() keeps its value.
    virtual void closeBackgroundWindows() = 0;
};

// Display-wide controls; callers make one per call.
class ScreenControl {
public:
    virtual ~ScreenControl() = default;
    // Every backlight brighter than this fraction of its full brightness down to it.
    virtual void setBrightnessLevel(float level) = 0;
    // Every backlight setBrightnessLevel lowered back to what it had.
    virtual void restoreBrightness() = 0;
    // Inverted, or the straight linear transfer, on every online display.
    virtual void setContrast(bool inverted) = 0;
};

// The schedule's clock. While running it calls exactly one callback per tick, on the main thread.
class ScheduleMonitor {
public:
    virtual ~ScheduleMonitor() = default;
    virtual void startTimer(TimePoint start, TimePoint stop) = 0;
    // The same with the night at `place` as the interval: from each day's sunset to its sunrise.
    virtual void startTimerFollowingSun(const Coordinates& place) = 0;
    virtual void stopTimer() = 0;

    std::function<void()> onDuringInterval;
    std::function<void()> onOutsideInterval;
};

// Where the user is for the sun's times, or why that is not known.
struct PlaceAnswer {
    std::optional<Coordinates> place;
    std::string problem = {};
};

// What the schedule follows, for the popover's pickers: its own times, or the sun at a place.
struct SunFollowing {
    bool followsSun = false;
    std::optional<Coordinates> place = {};  // with followsSun: none when no place is known
    std::string whyNoPlace = {};
    bool placeSetByHand = false;
};

// What the popover's controls report, one callback for each kind of user action.
struct PopoverActions {
    std::function<void(std::optional<Colour>, bool trueColor)> onBackgroundColorChanged;
    std::function<void(const Colour&)> onBackgroundCustomColorSelected;
    std::function<void(double alphaPercent)> onBackgroundAlphaChanged;
    std::function<void(bool)> onStartAtLoginPreferencesChanged;
    std::function<void(bool active, TimePoint start, TimePoint stop)> onScheduleIsActivePreferencesChanged;
    std::function<void(bool)> onLightMonitorNowChanged;
    std::function<void(bool)> onInverseColorsChanged;
    std::function<void()> onHelpRequest;
    std::function<void()> onInverseColorsHelpRequest;
    std::function<void()> onTrueColorsHelpRequest;
    std::function<void()> onQuitRequest;
    // Where no tray runs the popover asks to open by itself, so that Lunaveil stays within reach.
    std::function<void()> onOpenWithoutTrayRequest;
    // The options menu's "Sunset to Sunrise" entry, and the place of its "Location..." dialog
    // (none: the place of the time zone, or GeoClue's).
    std::function<void(bool)> onScheduleFollowsSunChanged;
    std::function<void(std::optional<Coordinates>)> onScheduleLocationChanged;
};

// What the session's displays let the tint do. The controls of what they cannot are disabled
// and say why; the settings behind them are kept as they are.
struct EffectsOffered {
    bool displayGamma = true;  // True Colors and Invert Colors
    bool tint = true;          // the tint can be shown at all (by overlay windows or by gamma)
    // What the session says of its display gamma, for True Colors' tooltip; null: no more than
    // that there is none.
    std::function<std::string()> whyNoDisplayGamma = {};
};

// The popover's presenter: the hub's way to the controls, and the controls' way to the hub.

class Presenter : public PopoverActions {
public:
    virtual ~Presenter() = default;
    virtual void startService(const Colour& colour, double alphaPercent, bool scheduleIsActive, TimePoint scheduleStart,
                              TimePoint scheduleStop, bool startAtLogin, bool lightMonitorNowIsEnabled,
                              bool inverseColorsIsEnabled, bool trueColor) = 0;
    virtual void showPopover() = 0;
    virtual void changeBackgroundCustomColor(const Colour& colour) = 0;
    virtual void setSelectedBackgroundColor(const Colour& colour) = 0;
    virtual void setLightMonitorNowCheckBox(bool on) = 0;
    virtual void setInverseColorsEnabled(bool on) = 0;
    virtual void setStartAtLoginCheckBox(bool on) = 0;
    virtual void setEffectsOffered(const EffectsOffered& offered) = 0;
    // What a command from outside the popover changed, shown by its controls; none calls back.
    virtual void setTrueColorsCheckBox(bool on) = 0;
    virtual void setBackgroundAlpha(double alphaPercent) = 0;
    virtual void setSchedule(bool active, TimePoint start, TimePoint stop) = 0;
    virtual void setSunFollowing(const SunFollowing& following) = 0;
    // Tells the user something they should know though no window of Lunaveil's is open.
    virtual void showNotice(const std::string& summary, const std::string& body) = 0;
};

class GreetingsWindow {
public:
    virtual ~GreetingsWindow() = default;
    virtual void showServiceWindow() = 0;
    // Called when the window has closed, by its button or by the window manager.
    std::function<void()> onClosed;
};

class HelpWindow {
public:
    virtual ~HelpWindow() = default;
    virtual void showWindowService() = 0;
    virtual void focus() = 0;
};

// Registers the launcher to start at login; the hub makes one per change.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    // Nothing when done; otherwise why not, for a person.
    virtual std::optional<std::string> startAtLogin(bool enabled) = 0;
};

// The colour chooser for the custom swatch. It reports every colour change through onColorChanged.
class ColourPanel {
public:
    virtual ~ColourPanel() = default;
    virtual void setColor(const Colour& colour) = 0;
    virtual Colour color() const = 0;
    virtual void makeKeyAndOrderFront() = 0;

    std::function<void()> onColorChanged;
};

// An information message with one "Close" button, run modally.
class MessageAlert {
public:
    virtual ~MessageAlert() = default;
    virtual void runModal() = 0;
};

}  // namespace lunaveil
