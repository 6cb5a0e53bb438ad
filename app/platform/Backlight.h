#pragma once
// Lowers the brightness of every display backlight the kernel exposes under sysfs, and gives
// back what it took.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace lunaveil {

class RuntimeFolder;

// A backlight outlives the process that dimmed it, so what each device had before Lunaveil
// first lowered it is kept in memory and in a small record file that a later run (or
// `lunaveil --reset`) reads to give it back after a crash.
//
// Record format, one line a device after the header "lunaveil-backlight 1":
//   <brightness it had> <brightness Lunaveil set> <device name to the end of the line>
class Backlight {
public:
    // The record file's name in its folder.
    static constexpr const char* recordName = "backlight.record";

    // `sysfsRoot` is where sysfs is mounted; tests point it at a tree of their own. Without a
    // usable `recordFolder` what was lowered is kept in memory only.
    explicit Backlight(std::filesystem::path sysfsRoot = "/sys", std::shared_ptr<const RuntimeFolder> recordFolder = {});
    Backlight(const Backlight&) = delete;
    Backlight& operator=(const Backlight&) = delete;

    // Every backlight under <root>/class/backlight, in name order, that is brighter than
    // round(level × max_brightness) is lowered to that (level clamped to [0, 1]); a dimmer one
    // is left alone, so the tint never brightens a screen. A device whose brightness file this
    // process may write is written directly; the others are set through logind's SetBrightness
    // on the system bus. Devices without a usable max_brightness are skipped. Failures change
    // nothing and are reported with at most one warning per call; waiting for logind is bounded
    // by a short timeout.
    void lowerBrightnessTo(float level);

    // Gives every device Lunaveil lowered the brightness it had, unless something else changed
    // it since (the user's own keys win), then forgets them and removes the record.
    void restoreBrightness();

    // The same for what a run that died left in the record; true when any device was given back.
    bool restoreFromRecord();

private:
    struct Lowered {
        std::uint32_t original;
        std::uint32_t set;
    };

    bool giveBack(const std::map<std::string, Lowered>& devices);
    void saveRecord();

    std::filesystem::path sysfsRoot_;
    std::shared_ptr<const RuntimeFolder> recordFolder_;
    std::map<std::string, Lowered> lowered_;  // by device name
    bool recordWarned_ = false;
};

}  // namespace lunaveil
