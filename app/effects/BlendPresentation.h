#pragma once
// The plain tint through the displays' transfer, where translucent windows would not blend:
// each channel's calibrated value v becomes v·(1−a) + c·a, as under a window blended over the
// calibrated picture; faded in and out in steps and re-applied every second.

#include "effects/Scheduler.h"
#include "effects/TintPresentation.h"

#include <functional>
#include <memory>
#include <optional>

namespace lunaveil {

class DisplayTransfer;

class BlendPresentation final : public TintPresentation {
public:
    // Both must outlive this.
    BlendPresentation(DisplayTransfer& transfer, Scheduler& scheduler);

    void show(const Colour& colour, double alphaPercent, Entry entry) override;
    // Fades out, then gives the displays back; a show during the fade-out keeps them.
    void stop() override;
    void close() override;

    // The blend is on the displays, a fade-out included.
    bool onDisplays() const { return onDisplays_; }

private:
    void fadeTo(double level, std::function<void()> then = {});
    void step();
    void cancelFade();
    void apply();

    DisplayTransfer& transfer_;
    Scheduler& scheduler_;
    std::optional<Colour> colour_;
    double alpha_ = 0.0;  // 0..1
    // How much of the blend is on the displays (0..1), where a fade leads, and what follows it.
    double level_ = 0.0;
    double target_ = 0.0;
    bool fading_ = false;
    bool onDisplays_ = false;
    std::function<void()> afterFade_;
    std::unique_ptr<Timer> fadeTimer_;
    std::unique_ptr<Timer> reapplyTimer_;
};

}  // namespace lunaveil
