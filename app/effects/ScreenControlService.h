#pragma once
// Display-wide controls: backlight brightness, and inverting every online display's colours.

#include "shell/Collaborators.h"

namespace lunaveil {

class Backlight;
class DisplayTransfer;

class ScreenControlService final : public ScreenControl {
public:
    // `transfer` may be null where no display gamma is reachable; inverting then does nothing.
    // `backlight` keeps what was lowered between calls; without one the brightness is left alone.
    explicit ScreenControlService(DisplayTransfer* transfer, Backlight* backlight = nullptr);

    void setBrightnessLevel(float level) override;
    void restoreBrightness() override;
    void setContrast(bool inverted) override;

private:
    DisplayTransfer* transfer_;
    Backlight* backlight_;
};

}  // namespace lunaveil
