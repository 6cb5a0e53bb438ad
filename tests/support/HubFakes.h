#pragma once
// Recording stand-ins for the hub's collaborators, for tests of the hub's rules.

#include "shell/HubServices.h"

#include <memory>
#include <string>
#include <vector>

namespace lunaveil::testing {

using CallLog = std::vector<std::string>;

// Writes each call the fake receives into the test's log.
class Recorder {
public:
    explicit Recorder(CallLog& log) : log_(log) {}

protected:
    void note(std::string entry) const { log_.push_back(std::move(entry)); }

private:
    CallLog& log_;
};

class FakeDimmer final : public BackgroundDimmer, Recorder {
public:
    using Recorder::Recorder;
    bool serviceIsRunning() const override { return running; }
    void startService(const Colour& colour, double alpha, bool trueColor) override
    {
        running = true;
        last = {colour, alpha, trueColor};
        note("dimmer.start");
    }
    void changeBackground(const Colour& colour, double alpha, bool trueColor) override
    {
        last = {colour, alpha, trueColor};
        note("dimmer.change");
    }
    void stopService() override
    {
        running = false;
        note("dimmer.stop");
    }
    void closeBackgroundWindows() override { note("dimmer.close"); }

    bool running = false;
    struct Tint {
        Colour colour;
        double alpha = -1;
        bool trueColor = false;
    } last;  // the tint of the latest start or change
};

class FakePresenter final : public Presenter, Recorder {
public:
    using Recorder::Recorder;
    void startService(const Colour& colour, double, bool, TimePoint, TimePoint, bool, bool, bool,
                      bool trueColor) override
    {
        started = {colour, trueColor};
        note("presenter.start");
    }
    void showPopover() override { note("presenter.showPopover"); }
    void changeBackgroundCustomColor(const Colour& colour) override { customColour = colour; }
    void setSelectedBackgroundColor(const Colour& colour) override { selected = colour; }
    void setLightMonitorNowCheckBox(bool on) override
    {
        tintSwitch = on;
        note(on ? "presenter.tint(on)" : "presenter.tint(off)");
    }
    void setInverseColorsEnabled(bool on) override { note(on ? "presenter.invert(on)" : "presenter.invert(off)"); }
    void setStartAtLoginCheckBox(bool on) override { note(on ? "presenter.login(on)" : "presenter.login(off)"); }
    void setEffectsOffered(const EffectsOffered& offered) override { effectsOffered = offered; }
    void showNotice(const std::string&, const std::string& body) override { note("presenter.notice: " + body); }
    void setTrueColorsCheckBox(bool on) override { note(on ? "presenter.trueColors(on)" : "presenter.trueColors(off)"); }
    void setBackgroundAlpha(double alpha) override { note("presenter.alpha(" + std::to_string(int(alpha)) + ")"); }
    void setSunFollowing(const SunFollowing& shown) override { sunFollowing = shown; }
    SunFollowing sunFollowing;
    void setSchedule(bool active, TimePoint, TimePoint) override
    {
        note(active ? "presenter.schedule(on)" : "presenter.schedule(off)");
    }

    struct Started {
        Colour colour;
        bool trueColor;
    };
    std::optional<Started> started;
    std::optional<Colour> selected, customColour;
    bool tintSwitch = false;  // as the hub last set it, or the user clicked it
    std::optional<EffectsOffered> effectsOffered;
};

class FakeScheduleMonitor final : public ScheduleMonitor {
public:
    void startTimer(TimePoint, TimePoint) override { running = true; following.reset(); }
    void startTimerFollowingSun(const Coordinates& place) override { running = true; following = place; }
    std::optional<Coordinates> following;
    void stopTimer() override { running = false; }
    // A tick as the real monitor delivers it: exactly one side, only while running.
    void tick(bool inside)
    {
        if (const auto callback = inside ? onDuringInterval : onOutsideInterval; running && callback)
            callback();
    }
    bool running = false;
};

class FakeScreenControl final : public ScreenControl, Recorder {
public:
    using Recorder::Recorder;
    void setBrightnessLevel(float level) override { note("screen.brightness(" + std::to_string(level) + ")"); }
    void restoreBrightness() override { note("screen.restoreBrightness"); }
    void setContrast(bool inverted) override { note(inverted ? "screen.invert" : "screen.straight"); }
};

// Answers every change with `problem` (nothing: done).
class FakeLoginItem final : public LoginItem, Recorder {
public:
    FakeLoginItem(CallLog& log, std::optional<std::string> problem) : Recorder(log), problem_(std::move(problem)) {}
    std::optional<std::string> startAtLogin(bool enabled) override
    {
        note(enabled ? "login(on)" : "login(off)");
        return problem_;
    }

private:
    std::optional<std::string> problem_;
};

class FakeAlert final : public MessageAlert {
public:
    void runModal() override {}
};

class FakeGreetingsWindow final : public GreetingsWindow, Recorder {
public:
    using Recorder::Recorder;
    void showServiceWindow() override { note("greetings.show"); }
};

class FakeHelpWindow final : public HelpWindow, Recorder {
public:
    using Recorder::Recorder;
    void showWindowService() override { note("help.show"); }
    void focus() override { note("help.focus"); }
};

class FakeColourPanel final : public ColourPanel, Recorder {
public:
    using Recorder::Recorder;
    void setColor(const Colour& colour) override
    {
        shown = colour;
        note("panel.setColor");
    }
    Colour color() const override { return shown; }
    void makeKeyAndOrderFront() override { note("panel.front"); }
    // The user picks a colour in the panel.
    void pick(const Colour& colour)
    {
        shown = colour;
        onColorChanged();
    }
    Colour shown;
};

}  // namespace lunaveil::testing
