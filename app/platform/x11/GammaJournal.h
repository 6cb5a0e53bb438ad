#pragma once
// The crash journal of the ramps each CRTC had before Lunaveil first changed it.

#include "platform/x11/CrtcGamma.h"
#include "platform/RuntimeFolder.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace lunaveil {

// Gamma ramps outlive the process that set them, so the originals are kept in a file that a
// later run (or `lunaveil --reset`) reads to undo what a run that died left on the displays.
// A journal names the X server it was written on (its mark, see CrtcGamma::serverMark), so
// that a server started since on the same display never gets the ramps of an earlier one.
//
// File format, all integers little-endian:
//   "LVGJ" magic, u32 version (2), i64 start of the run that wrote it (ns since the epoch),
//   u32 mark length m, m bytes of the server's mark, u32 CRTC count, then per CRTC: u32 CRTC id,
//   u32 ramp size n, n u16 red, n u16 green, n u16 blue; then a u64 FNV-1a hash of every byte before it.
// Version 1 had neither the start nor the mark.
class GammaJournal {
public:
    static constexpr std::size_t maxCrtcs = 256;
    static constexpr std::size_t maxRampSize = 65536;
    static constexpr std::size_t maxServerMark = 256;

    struct Contents {
        enum class State {
            Absent,
            Saved,
            Damaged,       // unreadable as a journal: removed when found
            Refused,       // not a file Lunaveil can trust, or too large: left alone
            OtherVersion,  // left alone
        } state = State::Absent;
        std::int64_t started = 0;
        std::string serverMark;
        std::map<CrtcId, GammaRamp> ramps;
        std::string problem;  // for a person, unless Absent or Saved
    };

    // The journal of X display `display` (canonical, such as "61" or "host:10", see
    // RandrCrtcs::canonicalDisplayName) in `folder`. With `owner` it is that process's own,
    // for a run that could not take the instance lock and so must share no journal.
    GammaJournal(std::shared_ptr<const RuntimeFolder> folder, std::string_view display,
                 std::optional<pid_t> owner = std::nullopt);

    std::filesystem::path file() const { return folder_->path() / fileName_; }
    bool exists() const;

    // Replaces the journal atomically (mode 0600); false when it could not be written, problem() says why.
    bool save(std::string_view serverMark, const std::map<CrtcId, GammaRamp>& ramps);
    const std::string& problem() const { return problem_; }
    // What the file holds; ramps only when Saved.
    Contents load() const;
    void remove();

    // This display's journals in the folder that no running Lunaveil keeps: the shared one, and those
    // of runs without the lock whose process has ended. `this` among them when its file exists.
    std::vector<GammaJournal> leftBehind() const;

private:
    GammaJournal(std::shared_ptr<const RuntimeFolder> folder, std::string prefix, std::string fileName);

    std::shared_ptr<const RuntimeFolder> folder_;
    std::string prefix_;    // "gamma-<display>", which every journal of the display starts with
    std::string fileName_;
    std::int64_t started_;  // when this journal's run began
    std::string problem_;
};

}  // namespace lunaveil
