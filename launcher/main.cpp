// lunaveil-launcher: started at login, it starts Lunaveil unless Lunaveil already runs, then ends.
// It shares no code with Lunaveil; the two meet only through the lock file's name, the install
// layout, the RestartedFromHelper environment entry and the "-psn_" argument.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace launcher {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view lockName = "com.quorvex.Lunaveil.lock";
constexpr std::string_view launchEntry = "RestartedFromHelper=1";

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// A folder Lunaveil trusts: a real folder (no link) of this user that nobody else may enter.
bool isPrivateFolder(const fs::path& dir)
{
    struct stat status {};
    return ::lstat(dir.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
           (status.st_mode & 077) == 0;
}

// Lunaveil's own rule: $XDG_RUNTIME_DIR when it is a private folder of ours, else a folder under
// /tmp for the user on the same terms; empty when neither is.
fs::path runtimeDirectory()
{
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir != nullptr && dir[0] == '/' && isPrivateFolder(dir))
        return dir;
    if (fs::path dir = fs::path("/tmp") / ("lunaveil-runtime-" + std::to_string(::getuid())); isPrivateFolder(dir))
        return dir;
    return {};
}

// Lunaveil holds an exclusive lock on its lock file while it runs. A shared try-lock fails only
// then; the file is opened read-only and never created, and the probe's lock goes with the fd.
// Only a lock file of this user counts, so nobody else can keep Lunaveil from starting.
bool lunaveilRuns()
{
    const fs::path runtime = runtimeDirectory();
    if (runtime.empty())
        return false;
    const Fd fd(::open((runtime / lockName).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::getuid())
        return false;
    int result;
    do {
        result = ::flock(fd.get(), LOCK_SH | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result != 0 && errno == EWOULDBLOCK;
}

// <prefix>/libexec/lunaveil/lunaveil-launcher -> <prefix>/bin/lunaveil; empty when /proc is unreadable.
fs::path lunaveilProgram()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return self.parent_path().parent_path().parent_path() / "bin" / "lunaveil";
}

// Our environment with RestartedFromHelper=1 in place of any entry of that name.
std::vector<char*> launchEnvironment()
{
    const std::string_view name = launchEntry.substr(0, launchEntry.find('=') + 1);
    std::vector<char*> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with(name))
            entries.push_back(*entry);
    }
    entries.push_back(const_cast<char*>(launchEntry.data()));
    entries.push_back(nullptr);
    return entries;
}

// Starts `program` in a session of its own, as the desktop starts a program: stdin from /dev/null,
// default signal handling, no descriptor but stdout and stderr inherited. The launcher ends right
// after, so the child is adopted and reaped by the session's reaper, never left a zombie here.
int spawnDetached(const fs::path& program)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::string path = program.string();
    // A start at login: Lunaveil keeps its popover closed for an argument beginning "-psn_", as
    // for a program its desktop launched.
    std::string quietStart = "-psn_0_0";
    char* const argv[] = {path.data(), quietStart.data(), nullptr};
    std::vector<char*> environment = launchEnvironment();
    const int error = ::posix_spawn(nullptr, path.c_str(), &actions, &attributes, argv, environment.data());

    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

}  // namespace
}  // namespace launcher

// Ends with status 0 on every path: a failure at login must never bring up an error dialog.
int main()
{
    if (launcher::lunaveilRuns())
        return 0;
    const std::filesystem::path program = launcher::lunaveilProgram();
    if (program.empty()) {
        std::fputs("lunaveil-launcher: cannot tell where it is installed (/proc/self/exe); Lunaveil not started\n",
                   stderr);
        return 0;
    }
    if (const int error = launcher::spawnDetached(program); error != 0)
        std::fprintf(stderr, "lunaveil-launcher: cannot start %s: %s\n", program.c_str(), std::strerror(error));
    return 0;
}
