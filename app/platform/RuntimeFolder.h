#pragma once
// A folder for Lunaveil's short-lived files (the instance lock, gamma journals) that only this
// user can reach, held by its descriptor so that nobody can swap it for another one meanwhile.

#include "platform/UniqueFd.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace lunaveil {

class RuntimeFolder {
public:
    enum class Kind {
        Named,    // a folder every run of this user finds again under the same name
        Private,  // a fresh folder of mkdtemp: no later run finds it; removed with this object
        None,     // no usable folder
    };

    // The session's folder: $XDG_RUNTIME_DIR, else <temporaryParent>/lunaveil-runtime-<uid> (made
    // when absent), each only when it is ours; else a new private folder in `temporaryParent`,
    // else none. problem() says why a folder was passed over.
    static RuntimeFolder forSession(const std::filesystem::path& temporaryParent = "/tmp");
    // `path` when it is a folder, not a link, owned by this user, with no access for group or
    // others; made with mode 0700 when absent and `create`.
    static RuntimeFolder open(const std::filesystem::path& path, bool create);

    RuntimeFolder() = default;
    RuntimeFolder(RuntimeFolder&& other) noexcept;
    RuntimeFolder& operator=(RuntimeFolder&& other) noexcept;
    ~RuntimeFolder();

    // The folder `name` inside this one, on the same terms; made when absent.
    RuntimeFolder subfolder(std::string_view name) const;

    bool usable() const { return static_cast<bool>(fd_); }
    Kind kind() const { return usable() ? kind_ : Kind::None; }
    const std::filesystem::path& path() const { return path_; }
    // For a person: why a folder was passed over, or why none is usable; empty when all is as it should be.
    const std::string& problem() const { return problem_; }

    // Opens the entry `name` of this folder, never through a link, never inherited by children.
    UniqueFd openFile(std::string_view name, int flags, mode_t mode = 0600) const;

    struct Contents {
        enum class State { Read, Absent, Refused } state = State::Absent;
        std::string bytes;
        std::string problem;  // why it was refused
    };
    // The whole of `name` when it is a regular file of this user of at most maxSize bytes.
    Contents readFile(std::string_view name, std::size_t maxSize) const;
    // Replaces `name` atomically and durably with a file of the given mode; false (errno set) on failure.
    bool replaceFile(std::string_view name, std::string_view contents, mode_t mode = 0600) const;
    // True when `name` is gone afterwards.
    bool removeFile(std::string_view name) const;
    // The names of the folder's entries.
    std::vector<std::string> fileNames() const;

private:
    RuntimeFolder(UniqueFd fd, std::filesystem::path path, Kind kind);
    // `path` (its last part, relative to parentFd unless that is AT_FDCWD), checked as open() says.
    static RuntimeFolder openAt(int parentFd, const std::filesystem::path& path, bool create, Kind kind);
    void removePrivateFolder();

    UniqueFd fd_;
    std::filesystem::path path_;
    Kind kind_ = Kind::None;
    bool removeWhenDone_ = false;  // the folder of mkdtemp, which only this object knows
    std::string problem_;
};

}  // namespace lunaveil
