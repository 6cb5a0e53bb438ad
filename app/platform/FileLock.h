#pragma once
// An advisory lock on a lock file (flock), held for the object's lifetime.

#include "platform/UniqueFd.h"

#include <filesystem>

namespace lunaveil {

class FileLock {
public:
    // Opens (creating with mode 0600) and locks `path` exclusively, giving up at once when
    // another process holds the lock: nothing of Lunaveil's waits on another process. Check held().
    explicit FileLock(const std::filesystem::path& path);
    // Locks a lock file already opened (for writing); empty `file` gives no lock.
    explicit FileLock(UniqueFd file);

    bool held() const { return static_cast<bool>(fd_); }

    // True when some process holds an exclusive lock on `path`; never creates it.
    static bool isHeldElsewhere(const std::filesystem::path& path);
    // The same for a lock file already opened.
    static bool isHeldElsewhere(const UniqueFd& file);

private:
    UniqueFd fd_;
};

}  // namespace lunaveil
