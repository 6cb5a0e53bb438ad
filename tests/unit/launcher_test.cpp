// lunaveil-launcher as the login runs it: a copy in a prefix of its own, with a recording stand-in
// for bin/lunaveil, so every launch it makes is a real process that leaves a line behind.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto patience = 10s;

std::string readFile(const fs::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// "key=value key=value ..." as the stand-in records it.
std::map<std::string, std::string> fields(const std::string& line)
{
    std::map<std::string, std::string> result;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        const auto equals = word.find('=');
        result[word.substr(0, equals)] = equals == std::string::npos ? "" : word.substr(equals + 1);
    }
    return result;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "lunaveil-launcher-test.XXXXXX").string();
        // Resolved, as the launcher sees its own path.
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = fs::canonical(pattern);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A child process that holds Lunaveil's lock as the running program does, until destroyed.
class LockHolder {
public:
    explicit LockHolder(const fs::path& lockFile)
    {
        int ready[2];
        int release[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
                ::_exit(1);
            ::close(release[1]);
            (void)::write(ready[1], "x", 1);
            char byte;
            ssize_t result;
            do {
                result = ::read(release[0], &byte, 1);
            } while (result < 0 && errno == EINTR);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        releaseFd_ = release[1];
        char byte;
        locked_ = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~LockHolder()
    {
        if (releaseFd_ >= 0)
            ::close(releaseFd_);
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool locked() const { return locked_; }

private:
    pid_t pid_ = -1;
    int releaseFd_ = -1;
    bool locked_ = false;
};

class LauncherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Orphans of the launcher come to this process, so every launch can be awaited and counted.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }

    void SetUp() override
    {
        ASSERT_FALSE(tmp_.path().empty());
        fs::create_directories(prefix() / "libexec" / "lunaveil");
        fs::create_directories(runtimeDir());
        // A copy, not a link: the launcher finds bin/lunaveil from its resolved own path.
        fs::copy_file(LUNAVEIL_LAUNCHER, launcher());
    }

    void TearDown() override
    {
        std::ofstream(gate()).close();
        reapAll();
    }

    fs::path prefix() const { return tmp_.path() / "prefix"; }
    fs::path launcher() const { return prefix() / "libexec" / "lunaveil" / "lunaveil-launcher"; }
    fs::path program() const { return prefix() / "bin" / "lunaveil"; }
    fs::path runtimeDir() const { return tmp_.path() / "runtime"; }
    fs::path lockFile() const { return runtimeDir() / "com.quorvex.Lunaveil.lock"; }
    fs::path record() const { return tmp_.path() / "launches"; }
    fs::path gate() const { return tmp_.path() / "gate"; }
    fs::path launcherErrors() const { return tmp_.path() / "launcher.stderr"; }
    fs::path strayFile() const { return tmp_.path() / "stray"; }

    // bin/lunaveil: records how it was started, then waits for the gate, so that the test sees
    // the launcher end while the program it started still runs.
    void installProgram() const
    {
        fs::create_directories(program().parent_path());
        std::ofstream(program()) << "#!/bin/sh\n"
                                 << "zero=$0 argc=$#\n"
                                 << "read -r stat < /proc/$$/stat\n"
                                 << "set -- $stat\n"
                                 << "stray=closed\n"
                                 // By what it refers to, not by number: the shell holds fds of its own.
                                 << "for fd in /proc/$$/fd/*; do"
                                 << " [ \"$(readlink \"$fd\")\" = '" << strayFile().string() << "' ] && stray=open; done\n"
                                 << "echo pid=$$ session=$6 program=$zero argc=$argc"
                                 << " helper=${RestartedFromHelper-unset}"
                                 << " helpers=$(env | grep -c '^RestartedFromHelper=')"
                                 << " stdin=$(readlink /proc/$$/fd/0) stray=$stray >> '" << record().string() << "'\n"
                                 << "i=0; while [ ! -e '" << gate().string() << "' ] && [ $i -lt 1000 ]; do"
                                 << " sleep 0.01; i=$((i+1)); done\n";
        fs::permissions(program(), fs::perms::owner_all);
    }

    // Runs the launcher as a login would, in `workingDir` when given, and returns its wait status,
    // or -1 when it did not end in time.
    int runLauncher(const std::string& runtimeDirValue, const fs::path& workingDir = {})
    {
        // A descriptor left open across exec (no FD_CLOEXEC), which the launcher must not hand on.
        const int stray = ::open(strayFile().c_str(), O_WRONLY | O_CREAT, 0600);
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            if (!text.starts_with("XDG_RUNTIME_DIR="))
                environment.emplace_back(text);
        }
        environment.push_back("XDG_RUNTIME_DIR=" + runtimeDirValue);
        // A stale entry from the caller's environment must give way to the launcher's own.
        environment.emplace_back("RestartedFromHelper=0");
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, launcherErrors().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (!workingDir.empty())
            posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
        std::string path = launcher().string();
        char* const argv[] = {path.data(), nullptr};
        pid_t pid = -1;
        const int error = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(stray);
        if (error != 0)
            return -1;

        const auto deadline = std::chrono::steady_clock::now() + patience;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(1ms);
        }
        return status;
    }

    // Opens the gate and waits for every process the launcher started; their records are then complete.
    std::vector<std::string> launches()
    {
        std::ofstream(gate()).close();
        reapAll();
        return lines(readFile(record()));
    }

    void reapAll()
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const pid_t pid = ::waitpid(-1, nullptr, WNOHANG);
            if (pid < 0 || std::chrono::steady_clock::now() > deadline)
                return;
            if (pid == 0)
                std::this_thread::sleep_for(1ms);
        }
    }

    static bool endedWithZero(int status) { return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

    TempDir tmp_;
};

TEST_F(LauncherTest, StartsLunaveilOnceDetachedWhenItDoesNotRun)
{
    installProgram();

    const int status = runLauncher(runtimeDir().string());
    // The launcher has ended while the program it started still waits at the gate.
    EXPECT_TRUE(endedWithZero(status)) << status;
    EXPECT_FALSE(fs::exists(gate()));

    const std::vector<std::string> started = launches();
    ASSERT_EQ(started.size(), 1u) << readFile(record());
    auto launch = fields(started.front());
    EXPECT_EQ(launch["program"], program().string());
    EXPECT_EQ(launch["argc"], "0");
    EXPECT_EQ(launch["helper"], "1");
    EXPECT_EQ(launch["helpers"], "1");
    EXPECT_EQ(launch["session"], launch["pid"]) << "not the leader of a session of its own";
    EXPECT_EQ(launch["stdin"], "/dev/null");
    EXPECT_EQ(launch["stray"], "closed");
    // Testing the lock never creates it.
    EXPECT_FALSE(fs::exists(lockFile()));
}

TEST_F(LauncherTest, StartsLunaveilWhenTheLockFileIsLeftUnlocked)
{
    installProgram();
    std::ofstream(lockFile()).close();  // left behind by a Lunaveil that has ended

    EXPECT_TRUE(endedWithZero(runLauncher(runtimeDir().string())));
    EXPECT_EQ(launches().size(), 1u);
}

TEST_F(LauncherTest, LeavesARunningLunaveilAlone)
{
    installProgram();
    {
        const LockHolder running(lockFile());
        ASSERT_TRUE(running.locked());
        EXPECT_TRUE(endedWithZero(runLauncher(runtimeDir().string())));
    }
    EXPECT_TRUE(launches().empty()) << readFile(record());
}

TEST_F(LauncherTest, IgnoresARelativeRuntimeDirectory)
{
    // The launcher then tests the fallback folder under /tmp, as Lunaveil does.
    const fs::path fallback = fs::path("/tmp") / ("lunaveil-runtime-" + std::to_string(::getuid()));
    if (const int fd = ::open((fallback / "com.quorvex.Lunaveil.lock").c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
        ::close(fd);
        if (held)
            GTEST_SKIP() << "a Lunaveil of this user runs with the fallback runtime folder";
    }
    installProgram();
    // A lock held under the relative name would stop the launch only if the launcher used that name.
    fs::create_directories(tmp_.path() / "relative");
    {
        const LockHolder running(tmp_.path() / "relative" / "com.quorvex.Lunaveil.lock");
        ASSERT_TRUE(running.locked());
        EXPECT_TRUE(endedWithZero(runLauncher("relative", tmp_.path())));
    }
    EXPECT_EQ(launches().size(), 1u);
}

TEST_F(LauncherTest, EndsQuietlyWithZeroWhenLunaveilIsMissing)
{
    const int status = runLauncher(runtimeDir().string());

    EXPECT_TRUE(endedWithZero(status)) << status;
    EXPECT_TRUE(launches().empty());
    EXPECT_NE(readFile(launcherErrors()).find(program().string()), std::string::npos)
        << "stderr: " << readFile(launcherErrors());
}

}  // namespace
