#pragma once
// True Colors: the tint's formula on every display's transfer, applied again every second.

#include "effects/Scheduler.h"
#include "effects/TintPresentation.h"

#include <memory>
#include <optional>

namespace lunaveil {

class DisplayTransfer;

class TrueColorsPresentation final : public TintPresentation {
public:
    // Both must outlive this.
    TrueColorsPresentation(DisplayTransfer& transfer, Scheduler& scheduler);

    // A colour without a formula leaves the displays as they are.
    void show(const Colour& colour, double alphaPercent, Entry entry) override;
    void stop() override;
    void close() override;

private:
    void apply();

    DisplayTransfer& transfer_;
    Scheduler& scheduler_;
    std::optional<Colour> colour_;
    double alphaPercent_ = 0.0;
    std::unique_ptr<Timer> reapplyTimer_;
};

}  // namespace lunaveil
