#include "DurableFile.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lunaveil {

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::filesystem::path followLinks(const std::filesystem::path& path)
{
    // As many links as the kernel itself follows before it gives up with ELOOP.
    constexpr int maxLinks = 40;
    std::filesystem::path current = path;
    std::error_code ec;
    for (int link = 0; link < maxLinks; ++link) {
        if (!std::filesystem::is_symlink(current, ec))
            return current;
        const std::filesystem::path target = std::filesystem::read_symlink(current, ec);
        if (ec)
            return current;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return path;
}

std::string temporaryFilePrefix(const std::filesystem::path& file)
{
    // Appended piece by piece: GCC 12 sees a false overlap (-Wrestrict) in "." + name + ".".
    std::string prefix = ".";
    prefix += file.filename().native();
    prefix += '.';
    return prefix;
}

bool writeFileDurably(const std::filesystem::path& requested, std::string_view contents, mode_t mode)
{
    const std::filesystem::path path = followLinks(requested);
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();

    // A hidden sibling, so that the rename stays within one file system.
    std::string tmpl = (folder / (temporaryFilePrefix(path) + "XXXXXX")).string();
    UniqueFd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (!fd)
        return false;
    const std::string tmpPath = tmpl;

    const bool ok = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), contents) && ::fsync(fd.get()) == 0;
    if (!ok || fd.close() != 0 || ::rename(tmpPath.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(tmpPath.c_str());
        errno = saved;
        return false;
    }

    // The rename is durable only once the folder's entry is on disk.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir && ::fsync(dir.get()) == 0;
}

bool makeDirectories(const std::filesystem::path& dir, mode_t mode)
{
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec))
        return true;
    if (dir.has_parent_path() && dir.parent_path() != dir && !makeDirectories(dir.parent_path(), mode))
        return false;
    return ::mkdir(dir.c_str(), mode) == 0 || errno == EEXIST;
}

}  // namespace lunaveil
