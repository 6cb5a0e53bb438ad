#pragma once
// Overlay windows, screens and timers whose state tests can read and whose time tests can advance.

#include "effects/Scheduler.h"
#include "platform/Compositor.h"
#include "platform/OverlayWindow.h"

#include <algorithm>
#include <memory>

namespace lunaveil::testing {

// What one window shows; a fade lands at once on its end values, which is where the tests look.
struct FakeWindowState {
    bool shown = false;
    double alpha = 0.0;
    std::optional<Colour> fill;
};

struct FakeOverlayWindow final : OverlayWindow {
    explicit FakeOverlayWindow(std::shared_ptr<FakeWindowState> shared) : state(std::move(shared)) {}
    void show() override { state->shown = true; }
    void close() override { state->shown = false; }
    void setAlphaValue(double alpha) override { state->alpha = alpha; }
    void setBackgroundColor(const Colour& fill) override { state->fill = fill; }
    void animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds) override
    {
        state->alpha = alpha;
        state->fill = fill ? fill : state->fill;
    }
    const std::shared_ptr<FakeWindowState> state;
};

struct FakeOverlayScreens final : OverlayScreens {
    explicit FakeOverlayScreens(std::optional<int> screens) : count(screens) {}
    std::optional<int> screenCount() const override { return count; }
    std::vector<std::unique_ptr<OverlayWindow>> createWindows() override
    {
        std::vector<std::unique_ptr<OverlayWindow>> made;
        current.clear();
        for (int i = 0; i < count.value_or(0); ++i)
            made.push_back(std::make_unique<FakeOverlayWindow>(current.emplace_back(std::make_shared<FakeWindowState>())));
        return made;
    }
    std::vector<std::shared_ptr<FakeWindowState>> current;  // the last build's windows, in screen order
    std::optional<int> count;
};

struct FakeCompositor final : Compositor {
    bool isActive() const override { return active; }
    void set(bool on)
    {
        active = on;
        onChanged();
    }
    bool active = true;
};

// Timers on a clock that only moves when a test advances it.
struct FakeScheduler final : Scheduler {
    std::unique_ptr<Timer> schedule(std::chrono::milliseconds interval, bool repeats,
                                    std::function<void()> action) override
    {
        auto timer = std::make_unique<Entry>(*this, now_ + interval, interval, repeats, std::move(action));
        armed_.push_back(timer.get());
        return timer;
    }

    // Moves the clock forward, firing every due timer in time order.
    void advance(std::chrono::milliseconds by)
    {
        const auto end = now_ + by;
        while (!armed_.empty()) {
            Entry* next = *std::ranges::min_element(armed_, {}, [](const Entry* e) { return e->due; });
            if (next->due > end)
                break;
            now_ = next->due;
            next->due += next->interval;
            if (!next->repeats)
                next->invalidate();
            const auto action = next->action;  // the action may destroy its own timer
            action();
        }
        now_ = end;
    }

private:
    struct Entry final : Timer {
        Entry(FakeScheduler& owner, std::chrono::milliseconds at, std::chrono::milliseconds every, bool again,
              std::function<void()> run)
            : scheduler(owner), due(at), interval(every), repeats(again), action(std::move(run))
        {
        }
        ~Entry() override { invalidate(); }
        void invalidate() override { std::erase(scheduler.armed_, this); }

        FakeScheduler& scheduler;
        std::chrono::milliseconds due, interval;
        bool repeats;
        std::function<void()> action;
    };
    std::chrono::milliseconds now_{0};
    std::vector<Entry*> armed_;
};

}  // namespace lunaveil::testing
