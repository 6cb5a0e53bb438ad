#pragma once
// Stand-ins for the hub's collaborators that keep the state the hub left them in.

#include "shell/HubServices.h"

#include <utility>
#include <optional>
#include <string>
#include <vector>

namespace lunaveil::testing {

struct Tint {
    Colour colour = {};
    double alpha = -1;
    bool trueColor = false;
};

struct FakeDimmer final : BackgroundDimmer {
    bool serviceIsRunning() const override { return running; }
    void startService(const Colour& colour, double alpha, bool trueColor) override
    {
        running = true;
        windowsClosed = false;
        ++starts;
        last = {colour, alpha, trueColor};
    }
    void changeBackground(const Colour& colour, double alpha, bool trueColor) override { last = {colour, alpha, trueColor}; }
    void stopService() override { running = false; }
    void closeBackgroundWindows() override { windowsClosed = true; }

    bool running = false;
    bool windowsClosed = false;
    int starts = 0;
    Tint last;  // of the latest start or change
};

// What the popover shows, as the hub last set it or the user clicked it.
struct FakePresenter final : Presenter {
    void startService(const Colour& colour, double, bool, TimePoint, TimePoint, bool, bool, bool,
                      bool trueColor) override
    {
        started = {colour, 0, trueColor};
    }
    void showPopover() override {}
    void changeBackgroundCustomColor(const Colour& colour) override { customColour = colour; }
    void setSelectedBackgroundColor(const Colour& colour) override { selected = colour; }
    void setLightMonitorNowCheckBox(bool on) override { tintSwitch = on; }
    void setInverseColorsEnabled(bool on) override { invertSwitch = on; }
    void setStartAtLoginCheckBox(bool on) override { loginSwitch = on; }
    void setEffectsOffered(const EffectsOffered&) override {}
    void showNotice(const std::string&, const std::string& body) override { notices.push_back(body); }
    void setTrueColorsCheckBox(bool on) override { trueColorsSwitch = on; }
    void setBackgroundAlpha(double alpha) override { alphaSlider = alpha; }
    void setSunFollowing(const SunFollowing& shown) override { sunFollowing = shown; }
    void setSchedule(bool active, TimePoint, TimePoint) override { scheduleSwitch = active; }

    std::optional<Tint> started;
    std::optional<Colour> selected, customColour;
    std::optional<bool> invertSwitch, loginSwitch, trueColorsSwitch, scheduleSwitch;
    std::optional<double> alphaSlider;
    bool tintSwitch = false;
    std::vector<std::string> notices;
    SunFollowing sunFollowing;
};

struct FakeScheduleMonitor final : ScheduleMonitor {
    void startTimer(TimePoint, TimePoint) override { running = true; following.reset(); }
    void startTimerFollowingSun(const Coordinates& place) override { running = true; following = place; }
    void stopTimer() override { running = false; }
    // A tick as the real monitor delivers it: exactly one side, only while running.
    void tick(bool inside)
    {
        if (const auto callback = inside ? onDuringInterval : onOutsideInterval; running && callback)
            callback();
    }
    bool running = false;
    std::optional<Coordinates> following;
};

struct ScreenState {
    std::optional<float> brightness;  // the latest level set, until restored
    int restores = 0;
    bool inverted = false;
};

struct FakeScreenControl final : ScreenControl {
    explicit FakeScreenControl(ScreenState& shared) : state(shared) {}
    void setBrightnessLevel(float level) override { state.brightness = level; }
    void restoreBrightness() override { state.brightness.reset(); ++state.restores; }
    void setContrast(bool inverted) override { state.inverted = inverted; }
    ScreenState& state;
};

// Answers every change with `problem` (nothing: done).
struct FakeLoginItem final : LoginItem {
    explicit FakeLoginItem(std::optional<std::string> answer) : problem(std::move(answer)) {}
    std::optional<std::string> startAtLogin(bool) override { return problem; }
    std::optional<std::string> problem;
};

struct FakeAlert final : MessageAlert {
    void runModal() override {}
};

struct FakeGreetingsWindow final : GreetingsWindow {
    void showServiceWindow() override {}
};

struct FakeColourPanel final : ColourPanel {
    void setColor(const Colour& colour) override { shown = colour; }
    Colour color() const override { return shown; }
    void makeKeyAndOrderFront() override {}
    // The user picks a colour in the panel.
    void pick(const Colour& colour)
    {
        shown = colour;
        onColorChanged();
    }
    Colour shown;
};

}  // namespace lunaveil::testing
