#include "FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace lunaveil {

FileLock::FileLock(const std::filesystem::path& path)
    : FileLock(UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)))
{
}

FileLock::FileLock(UniqueFd fd)
{
    if (!fd)
        return;
    int result;
    do {
        result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        fd_ = std::move(fd);
}

bool FileLock::isHeldElsewhere(const std::filesystem::path& path)
{
    return isHeldElsewhere(UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)));
}

bool FileLock::isHeldElsewhere(const UniqueFd& fd)
{
    if (!fd)
        return false;
    return ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

}  // namespace lunaveil
