#pragma once
// Overlay windows, screens and timers whose state tests can read and whose time tests can advance.

#include "effects/OverlayWindow.h"
#include "effects/Scheduler.h"
#include "platform/Compositor.h"

#include <algorithm>
#include <map>
#include <memory>

namespace lunaveil::testing {

// What one window shows; animations land at their end values when the fake clock passes their end.
struct FakeWindowState {
    bool shown = false;
    double alpha = 0.0;
    std::optional<Colour> fill;
    int animations = 0;
    bool destroyed = false;
};

class FakeOverlayWindow final : public OverlayWindow {
public:
    explicit FakeOverlayWindow(std::shared_ptr<FakeWindowState> state) : state_(std::move(state)) {}
    ~FakeOverlayWindow() override { state_->destroyed = true; }
    void show() override { state_->shown = true; }
    void close() override { state_->shown = false; }
    void setAlphaValue(double alpha) override { state_->alpha = alpha; }
    void setBackgroundColor(const Colour& fill) override { state_->fill = fill; }
    void animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds) override
    {
        ++state_->animations;
        state_->alpha = alpha;  // the fade's end state; the tests look at where each fade leads
        if (fill)
            state_->fill = fill;
    }

private:
    std::shared_ptr<FakeWindowState> state_;
};

class FakeOverlayScreens final : public OverlayScreens {
public:
    explicit FakeOverlayScreens(std::optional<int> screens = 1) : count(screens) {}
    std::optional<int> screenCount() const override { return count; }
    std::vector<std::unique_ptr<OverlayWindow>> createWindows() override
    {
        std::vector<std::unique_ptr<OverlayWindow>> made;
        current.clear();
        for (int i = 0; i < count.value_or(0); ++i) {
            auto state = std::make_shared<FakeWindowState>();
            current.push_back(state);
            made.push_back(std::make_unique<FakeOverlayWindow>(state));
        }
        return made;
    }
    // Windows of the last build, in screen order.
    std::vector<std::shared_ptr<FakeWindowState>> current;
    std::optional<int> count;
};

class FakeCompositor final : public Compositor {
public:
    bool isActive() const override { return active; }
    void set(bool on)
    {
        active = on;
        if (onChanged)
            onChanged();
    }
    bool active = true;
};

class FakeScheduler final : public Scheduler {
public:
    std::unique_ptr<Timer> schedule(std::chrono::milliseconds interval, bool repeats,
                                    std::function<void()> action) override
    {
        auto entry = std::make_shared<Entry>(Entry{now_ + interval, interval, repeats, std::move(action), true});
        entries_.push_back(entry);
        return std::make_unique<Handle>(entry);
    }

    // Moves the clock forward, firing every due timer in time order.
    void advance(std::chrono::milliseconds by)
    {
        const auto end = now_ + by;
        for (;;) {
            std::erase_if(entries_, [](const auto& e) { return !e->valid; });
            auto next = std::min_element(entries_.begin(), entries_.end(),
                                         [](const auto& a, const auto& b) { return a->due < b->due; });
            if (next == entries_.end() || (*next)->due > end)
                break;
            const auto entry = *next;
            now_ = entry->due;
            if (entry->repeats)
                entry->due += entry->interval;
            else
                entry->valid = false;
            const auto action = entry->action;
            action();
        }
        now_ = end;
    }
    // Timers still armed with this period.
    std::size_t armed(std::chrono::milliseconds interval) const
    {
        return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(), [&](const auto& e) {
            return e->valid && e->interval == interval;
        }));
    }

private:
    struct Entry {
        std::chrono::milliseconds due;
        std::chrono::milliseconds interval;
        bool repeats;
        std::function<void()> action;
        bool valid;
    };
    struct Handle final : Timer {
        explicit Handle(std::shared_ptr<Entry> e) : entry(std::move(e)) {}
        ~Handle() override { invalidate(); }
        void invalidate() override { entry->valid = false; }
        std::shared_ptr<Entry> entry;
    };
    std::chrono::milliseconds now_{0};
    std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace lunaveil::testing
