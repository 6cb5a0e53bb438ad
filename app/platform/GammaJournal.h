#pragma once
// The crash journal of the ramps each CRTC had before Lunaveil first changed it.

#include "platform/DisplayGamma.h"

#include <filesystem>
#include <map>
#include <string_view>

namespace lunaveil {

// Gamma ramps outlive the process that set them, so the originals are kept in a file that a
// later run (or `lunaveil --reset`) reads to undo what a run that died left on the displays.
//
// File format, all integers little-endian:
//   "LVGJ" magic, u32 version (1), u32 CRTC count, then per CRTC: u32 CRTC id, u32 ramp size n,
//   n u16 red, n u16 green, n u16 blue; then a u64 FNV-1a hash of every byte before it.
class GammaJournal {
public:
    static constexpr std::size_t maxCrtcs = 256;
    static constexpr std::size_t maxRampSize = 65536;

    explicit GammaJournal(std::filesystem::path file);

    // $XDG_RUNTIME_DIR/lunaveil/gamma-<display>.journal, the display name made safe for a file name
    // (":0" and ":0.0" name the same screen and give "gamma-0.journal").
    static std::filesystem::path defaultFile(std::string_view displayName);

    const std::filesystem::path& file() const { return file_; }
    bool exists() const;

    // Replaces the journal atomically (mode 0600, its folder 0700); false when it could not be written.
    bool save(const std::map<CrtcId, GammaRamp>& ramps);
    // The saved ramps; empty when the file is absent, damaged, truncated or out of bounds.
    std::map<CrtcId, GammaRamp> load() const;
    void remove();

private:
    std::filesystem::path file_;
};

}  // namespace lunaveil
