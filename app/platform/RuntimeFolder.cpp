#include "RuntimeFolder.h"

#include "platform/DurableFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace lunaveil {
namespace {

// Why a folder of this description may not hold our files; empty when it may.
std::string whyNotPrivate(const struct stat& status)
{
    if (S_ISLNK(status.st_mode))
        return "is a symbolic link";
    if (!S_ISDIR(status.st_mode))
        return "is not a folder";
    if (status.st_uid != ::geteuid())
        return "belongs to another user";
    if ((status.st_mode & 077) != 0) {
        char mode[64];
        std::snprintf(mode, sizeof mode, "can be entered by other users (mode %04o)",
                      static_cast<unsigned>(status.st_mode & 07777));
        return mode;
    }
    return {};
}

std::string describe(const std::filesystem::path& path, const std::string& what)
{
    return path.string() + " " + what;
}

std::string systemError(const std::filesystem::path& path)
{
    return describe(path, std::string("cannot be used: ") + std::strerror(errno));
}

// Six characters for a temporary name nobody can guess ahead.
std::string randomSuffix()
{
    static constexpr std::string_view alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < 6; ++i)
        suffix.push_back(alphabet[random() % alphabet.size()]);
    return suffix;
}

}  // namespace

RuntimeFolder::RuntimeFolder(UniqueFd fd, std::filesystem::path path, Kind kind)
    : fd_(std::move(fd)), path_(std::move(path)), kind_(kind)
{
}

RuntimeFolder::RuntimeFolder(RuntimeFolder&& other) noexcept = default;

RuntimeFolder& RuntimeFolder::operator=(RuntimeFolder&& other) noexcept
{
    if (this != &other) {
        removePrivateFolder();
        fd_ = std::move(other.fd_);
        path_ = std::move(other.path_);
        kind_ = other.kind_;
        removeWhenDone_ = std::exchange(other.removeWhenDone_, false);
        problem_ = std::move(other.problem_);
    }
    return *this;
}

RuntimeFolder::~RuntimeFolder()
{
    removePrivateFolder();
}

void RuntimeFolder::removePrivateFolder()
{
    // Nobody else can enter it, so its contents are all ours; links inside are removed, not followed.
    if (!removeWhenDone_ || !fd_)
        return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    removeWhenDone_ = false;
}

RuntimeFolder RuntimeFolder::openAt(int parentFd, const std::filesystem::path& path, bool create, Kind kind)
{
    const std::string entry = parentFd == AT_FDCWD ? path.string() : path.filename().string();
    const char* name = entry.c_str();
    RuntimeFolder refused({}, path, Kind::None);
    struct stat before {};
    if (::fstatat(parentFd, name, &before, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT || !create || (::mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST)
            || ::fstatat(parentFd, name, &before, AT_SYMLINK_NOFOLLOW) != 0) {
            refused.problem_ = systemError(path);
            return refused;
        }
    }
    if (std::string why = whyNotPrivate(before); !why.empty()) {
        refused.problem_ = describe(path, why);
        return refused;
    }
    // What is opened must be what was looked at: nobody may have put a link or another folder there meanwhile.
    UniqueFd fd(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!fd || ::fstat(fd.get(), &opened) != 0) {
        refused.problem_ = systemError(path);
        return refused;
    }
    if (std::string why = whyNotPrivate(opened); !why.empty() || opened.st_dev != before.st_dev
                                                  || opened.st_ino != before.st_ino) {
        refused.problem_ = describe(path, why.empty() ? "changed while it was opened" : why);
        return refused;
    }
    return RuntimeFolder(std::move(fd), path, kind);
}

RuntimeFolder RuntimeFolder::open(const std::filesystem::path& path, bool create)
{
    return openAt(AT_FDCWD, path, create, Kind::Named);
}

RuntimeFolder RuntimeFolder::subfolder(std::string_view name) const
{
    const std::filesystem::path path = path_ / name;
    if (!usable()) {
        RuntimeFolder none({}, path, Kind::None);
        none.problem_ = problem_;
        return none;
    }
    return openAt(fd_.get(), path, true, kind_);
}

RuntimeFolder RuntimeFolder::forSession(const std::filesystem::path& temporaryParent)
{
    std::string passedOver;
    const auto passOver = [&passedOver](const std::string& why) {
        passedOver += passedOver.empty() ? why : "; " + why;
    };
    if (const char* session = std::getenv("XDG_RUNTIME_DIR"); session != nullptr && session[0] == '/') {
        RuntimeFolder folder = open(session, false);
        if (folder.usable())
            return folder;
        passOver("$XDG_RUNTIME_DIR " + folder.problem_);
    }

    const std::string named = "lunaveil-runtime-" + std::to_string(::geteuid());
    RuntimeFolder folder = open(temporaryParent / named, true);
    if (folder.usable()) {
        if (!passedOver.empty())
            folder.problem_ = passedOver + "; using " + folder.path_.string() + " instead";
        return folder;
    }
    passOver(folder.problem_);

    std::string pattern = (temporaryParent / (named + ".XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        RuntimeFolder none({}, temporaryParent, Kind::None);
        none.problem_ = passedOver + "; no private folder can be made in " + temporaryParent.string() + ": "
                      + std::strerror(errno);
        return none;
    }
    RuntimeFolder fresh = openAt(AT_FDCWD, pattern, false, Kind::Private);
    fresh.removeWhenDone_ = fresh.usable();
    fresh.problem_ = passedOver + (fresh.usable() ? "; using the private folder " + pattern
                                                        + ", which a later `lunaveil --reset` cannot find"
                                                  : "; " + fresh.problem_);
    if (!fresh.usable())
        ::rmdir(pattern.c_str());
    return fresh;
}

UniqueFd RuntimeFolder::openFile(std::string_view name, int flags, mode_t mode) const
{
    if (!usable()) {
        errno = ENOENT;
        return UniqueFd();
    }
    const std::string entry(name);
    return UniqueFd(::openat(fd_.get(), entry.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode));
}

RuntimeFolder::Contents RuntimeFolder::readFile(std::string_view name, std::size_t maxSize) const
{
    Contents result;
    // Non-blocking, so that a FIFO in the file's place cannot hold us.
    const UniqueFd fd = openFile(name, O_RDONLY | O_NONBLOCK);
    const auto refuse = [&result](std::string why) {
        result.state = Contents::State::Refused;
        result.problem = std::move(why);
        return result;
    };
    if (!fd) {
        if (errno == ENOENT)
            return result;
        return refuse(errno == ELOOP ? "is a symbolic link" : std::strerror(errno));
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0)
        return refuse(std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return refuse("is not a regular file");
    if (status.st_uid != ::geteuid())
        return refuse("belongs to another user");
    if (static_cast<std::uintmax_t>(status.st_size) > maxSize)
        return refuse("is larger than any such file Lunaveil writes");

    // One byte more than it had tells a file that grew meanwhile.
    result.bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
    std::size_t got = 0;
    while (got < result.bytes.size()) {
        const ssize_t n = ::read(fd.get(), result.bytes.data() + got, result.bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refuse(std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > static_cast<std::size_t>(status.st_size))
        return refuse("changed while it was read");
    result.bytes.resize(got);
    result.state = Contents::State::Read;
    return result;
}

bool RuntimeFolder::replaceFile(std::string_view name, std::string_view contents, mode_t mode) const
{
    if (!usable()) {
        errno = ENOENT;
        return false;
    }
    const std::string target(name);
    std::string temporary;
    UniqueFd fd;
    for (int attempt = 0; attempt < 16 && !fd; ++attempt) {
        temporary = temporaryFilePrefix(target) + randomSuffix();
        fd = openFile(temporary, O_WRONLY | O_CREAT | O_EXCL, mode);
        if (!fd && errno != EEXIST)
            return false;
    }
    if (!fd)
        return false;
    // renameat replaces whatever entry has the name, a link included, and never what a link points to.
    const bool ok = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), contents) && ::fsync(fd.get()) == 0;
    if (!ok || fd.close() != 0 || ::renameat(fd_.get(), temporary.c_str(), fd_.get(), target.c_str()) != 0) {
        const int saved = errno;
        ::unlinkat(fd_.get(), temporary.c_str(), 0);
        errno = saved;
        return false;
    }
    return ::fsync(fd_.get()) == 0;
}

bool RuntimeFolder::removeFile(std::string_view name) const
{
    const std::string entry(name);
    return usable() && (::unlinkat(fd_.get(), entry.c_str(), 0) == 0 || errno == ENOENT);
}

std::vector<std::string> RuntimeFolder::fileNames() const
{
    struct CloseDir {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::vector<std::string> names;
    // A description of its own, so that reading it moves no offset the folder's descriptor shares.
    UniqueFd listing = openFile(".", O_RDONLY | O_DIRECTORY);
    if (!listing)
        return names;
    const std::unique_ptr<DIR, CloseDir> dir(::fdopendir(listing.get()));
    if (!dir)
        return names;
    listing.release();  // closedir closes it
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    return names;
}

}  // namespace lunaveil
