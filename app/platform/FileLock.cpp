#include "FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace lunaveil {

FileLock::FileLock(const std::filesystem::path& path, Mode mode)
{
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd)
        return;
    const int operation = LOCK_EX | (mode == Mode::TryOnly ? LOCK_NB : 0);
    int result;
    do {
        result = ::flock(fd.get(), operation);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        fd_ = std::move(fd);
}

bool FileLock::isHeldElsewhere(const std::filesystem::path& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    return ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

}  // namespace lunaveil
