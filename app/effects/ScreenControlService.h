#pragma once
// Display-wide controls: backlight brightness, and inverting every online display's colours.

#include "shell/Collaborators.h"

#include <filesystem>

namespace lunaveil {

class DisplayTransfer;

class ScreenControlService final : public ScreenControl {
public:
    // `transfer` may be null where no display gamma is reachable; inverting then does nothing.
    explicit ScreenControlService(DisplayTransfer* transfer, std::filesystem::path sysfsRoot = "/sys");

    void setBrightnessLevel(float level) override;
    void setContrast(bool inverted) override;

private:
    DisplayTransfer* transfer_;
    std::filesystem::path sysfsRoot_;
};

}  // namespace lunaveil
