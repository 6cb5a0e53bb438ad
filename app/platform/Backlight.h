#pragma once
// Sets the brightness of every display backlight the kernel exposes under sysfs.

#include <filesystem>

namespace lunaveil {

class Backlight {
public:
    // `sysfsRoot` is where sysfs is mounted; tests point it at a tree of their own.
    explicit Backlight(std::filesystem::path sysfsRoot = "/sys");

    // Gives every backlight under <root>/class/backlight, in name order, the brightness
    // round(level × max_brightness), level clamped to [0, 1]. A device whose brightness file
    // this process may write is written directly; the others are set through logind's
    // SetBrightness on the system bus. Devices without a usable max_brightness are skipped.
    // Failures change nothing and are reported with at most one warning per call; waiting
    // for logind is bounded by a short timeout.
    void setBrightnessLevel(float level);

private:
    std::filesystem::path sysfsRoot_;
};

}  // namespace lunaveil
