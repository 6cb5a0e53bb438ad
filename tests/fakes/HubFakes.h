#pragma once
// Recording stand-ins for the hub's collaborators, for tests of the hub's rules.

#include "shell/HubServices.h"

#include <memory>
#include <string>
#include <vector>

namespace lunaveil::testing {

using CallLog = std::vector<std::string>;

class FakeDimmer final : public BackgroundDimmer {
public:
    explicit FakeDimmer(CallLog& log) : log_(log) {}
    bool serviceIsRunning() const override { return running; }
    void startService(const Colour& colour, double alpha, bool trueColor) override
    {
        running = true;
        record("dimmer.start", colour, alpha, trueColor);
    }
    void changeBackground(const Colour& colour, double alpha, bool trueColor) override
    {
        record("dimmer.change", colour, alpha, trueColor);
    }
    void stopService() override
    {
        running = false;
        log_.push_back("dimmer.stop");
    }
    void closeBackgroundWindows() override { log_.push_back("dimmer.close"); }

    bool running = false;
    Colour lastColour;
    double lastAlpha = -1;
    bool lastTrueColor = false;

private:
    void record(const char* what, const Colour& colour, double alpha, bool trueColor)
    {
        lastColour = colour;
        lastAlpha = alpha;
        lastTrueColor = trueColor;
        log_.push_back(what);
    }
    CallLog& log_;
};

class FakePresenter final : public Presenter {
public:
    explicit FakePresenter(CallLog& log) : log_(log) {}
    void startService(const Colour& colour, double alpha, bool scheduleIsActive, TimePoint start, TimePoint stop,
                      bool startAtLogin, bool lightMonitorNowIsEnabled, bool inverseColorsIsEnabled,
                      bool trueColor) override
    {
        started = {colour, alpha, scheduleIsActive, start, stop, startAtLogin, lightMonitorNowIsEnabled,
                   inverseColorsIsEnabled, trueColor};
        log_.push_back("presenter.start");
    }
    void showPopover() override { log_.push_back("presenter.showPopover"); }
    void changeBackgroundCustomColor(const Colour& colour) override
    {
        customColour = colour;
        log_.push_back("presenter.customColour");
    }
    void setSelectedBackgroundColor(const Colour& colour) override
    {
        selected = colour;
        log_.push_back("presenter.select");
    }
    void setLightMonitorNowCheckBox(bool on) override
    {
        tintCheckBox = on;
        log_.push_back(on ? "presenter.tint(on)" : "presenter.tint(off)");
    }
    void setInverseColorsEnabled(bool on) override
    {
        invertCheckBox = on;
        log_.push_back(on ? "presenter.invert(on)" : "presenter.invert(off)");
    }

    struct Started {
        Colour colour;
        double alpha;
        bool scheduleIsActive;
        TimePoint start, stop;
        bool startAtLogin, lightMonitorNowIsEnabled, inverseColorsIsEnabled, trueColor;
    };
    std::optional<Started> started;
    std::optional<Colour> selected;
    std::optional<Colour> customColour;
    std::optional<bool> tintCheckBox;
    std::optional<bool> invertCheckBox;

private:
    CallLog& log_;
};

class FakeScheduleMonitor final : public ScheduleMonitor {
public:
    explicit FakeScheduleMonitor(CallLog& log) : log_(log) {}
    void startTimer(TimePoint, TimePoint) override
    {
        running = true;
        log_.push_back("monitor.start");
    }
    void stopTimer() override
    {
        running = false;
        log_.push_back("monitor.stop");
    }
    // A tick as the real monitor delivers it: exactly one side, only while running.
    void tick(bool inside)
    {
        if (!running)
            return;
        if (const auto callback = inside ? onDuringInterval : onOutsideInterval)
            callback();
    }
    bool running = false;

private:
    CallLog& log_;
};

class FakeScreenControl final : public ScreenControl {
public:
    explicit FakeScreenControl(CallLog& log) : log_(log) {}
    void setBrightnessLevel(float level) override { log_.push_back("screen.brightness(" + std::to_string(level) + ")"); }
    void setContrast(bool inverted) override { log_.push_back(inverted ? "screen.invert" : "screen.straight"); }

private:
    CallLog& log_;
};

class FakeLoginItem final : public LoginItem {
public:
    explicit FakeLoginItem(CallLog& log) : log_(log) {}
    void startAtLogin(bool enabled) override { log_.push_back(enabled ? "login.on" : "login.off"); }

private:
    CallLog& log_;
};

class FakeGreetingsWindow final : public GreetingsWindow {
public:
    explicit FakeGreetingsWindow(CallLog& log) : log_(log) {}
    void showServiceWindow() override { log_.push_back("greetings.show"); }

private:
    CallLog& log_;
};

class FakeHelpWindow final : public HelpWindow {
public:
    explicit FakeHelpWindow(CallLog& log) : log_(log) {}
    void showWindowService() override { log_.push_back("help.show"); }
    void focus() override { log_.push_back("help.focus"); }

private:
    CallLog& log_;
};

class FakeColourPanel final : public ColourPanel {
public:
    explicit FakeColourPanel(CallLog& log) : log_(log) {}
    void setColor(const Colour& colour) override
    {
        shown = colour;
        log_.push_back("panel.setColor");
    }
    Colour color() const override { return shown; }
    void makeKeyAndOrderFront() override { log_.push_back("panel.front"); }
    // The user picks a colour in the panel.
    void pick(const Colour& colour)
    {
        shown = colour;
        if (onColorChanged)
            onColorChanged();
    }
    Colour shown;

private:
    CallLog& log_;
};

class FakeAlert final : public MessageAlert {
public:
    FakeAlert(CallLog& log, std::string text) : log_(log), text_(std::move(text)) {}
    void runModal() override { log_.push_back("alert:" + text_); }

private:
    CallLog& log_;
    std::string text_;
};

}  // namespace lunaveil::testing
