// lunaveil-launcher as the login runs it: a copy in a prefix of its own, with a recording stand-in
// for bin/lunaveil, so every launch it makes is a real process that leaves a line behind.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readFile(const fs::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (const char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

class LauncherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Orphans of the launcher come to this process, so every launch can be awaited and counted.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }

    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "lunaveil-launcher-test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        tmp_ = fs::canonical(pattern);  // resolved, as the launcher sees its own path
        fs::create_directories(launcher().parent_path());
        fs::create_directories(runtimeDir());
        fs::permissions(runtimeDir(), fs::perms::owner_all);
        // A copy, not a link: the launcher finds bin/lunaveil from its resolved own path.
        fs::copy_file(LUNAVEIL_LAUNCHER, launcher());

        // bin/lunaveil records how it was started as "key=value ..." lines, then waits for the gate,
        // so that the test sees the launcher end while the program it started still runs.
        fs::create_directories(program().parent_path());
        std::ofstream(program()) << "#!/bin/sh\n"
                                 << "zero=$0 argc=$# first=${1-none}\n"
                                 << "read -r stat < /proc/$$/stat\n"
                                 << "set -- $stat\n"
                                 << "stray=closed\n"
                                 // By what it refers to, not by number: the shell holds fds of its own.
                                 << "for fd in /proc/$$/fd/*; do"
                                 << " [ \"$(readlink \"$fd\")\" = " << quoted(tmp_ / "stray")
                                 << " ] && stray=open; done\n"
                                 << "echo pid=$$ session=$6 program=$zero argc=$argc first=$first"
                                 << " helper=${RestartedFromHelper-unset}"
                                 // As it was started: a shell keeps only one entry of a name.
                                 << " helpers=$(tr '\\0' '\\n' < /proc/$$/environ | grep -c '^RestartedFromHelper=')"
                                 << " stdin=$(readlink /proc/$$/fd/0) stray=$stray >> " << quoted(tmp_ / "launches")
                                 << "\n"
                                 << "i=0; while [ ! -e " << quoted(gate()) << " ] && [ $i -lt 1000 ]; do"
                                 << " sleep 0.01; i=$((i+1)); done\n";
        fs::permissions(program(), fs::perms::owner_all);
    }

    void TearDown() override
    {
        if (tmp_.empty())
            return;
        launches();
        std::error_code ec;
        fs::remove_all(tmp_, ec);
    }

    fs::path launcher() const { return tmp_ / "prefix" / "libexec" / "lunaveil" / "lunaveil-launcher"; }
    fs::path program() const { return tmp_ / "prefix" / "bin" / "lunaveil"; }
    fs::path runtimeDir() const { return tmp_ / "runtime"; }
    fs::path lockFile() const { return runtimeDir() / "com.quorvex.Lunaveil.lock"; }
    fs::path gate() const { return tmp_ / "gate"; }

    // Runs the launcher as a login would, in the test's folder, with a stray descriptor open across
    // exec, stdin that is not /dev/null and a stale RestartedFromHelper entry, none of which it may
    // hand on; while `heldLock` is held, when given, as a running Lunaveil holds its lock.
    // True when it ended in time with status 0.
    bool runLauncher(const std::string& runtimeDirValue, const fs::path& heldLock = {}) const
    {
        const std::string command = "cd " + quoted(tmp_) + " && exec " +
                                    (heldLock.empty() ? "" : "flock --nonblock --close " + quoted(heldLock) + " ") +
                                    "env XDG_RUNTIME_DIR=" + quoted(runtimeDirValue) +
                                    " RestartedFromHelper=0 timeout 10 " + quoted(launcher()) + " </dev/zero 9>" +
                                    quoted(tmp_ / "stray") + " 2>" + quoted(tmp_ / "stderr");
        const int status = std::system(command.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Opens the gate and reaps every process the launcher started; the records, each as its fields.
    std::vector<std::map<std::string, std::string>> launches() const
    {
        std::ofstream(gate()).close();
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            const pid_t pid = ::waitpid(-1, nullptr, WNOHANG);
            if (pid < 0)
                break;
            if (pid == 0)
                std::this_thread::sleep_for(1ms);
        }
        std::vector<std::map<std::string, std::string>> result;
        std::istringstream lines(readFile(tmp_ / "launches"));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            auto& fields = result.emplace_back();
            for (std::string word; words >> word;)
                fields[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
        }
        return result;
    }

    fs::path tmp_;
};

// Once, detached, when it does not run; then only a lock held in a folder of the user's own stops a
// start: a lock file left behind by a Lunaveil that has ended, a lock in a folder others may enter
// (it may be anybody's) and one under a relative XDG_RUNTIME_DIR (the launcher then tests the
// fallback folder under /tmp, as Lunaveil does) stop nothing. Without bin/lunaveil it still ends
// with 0, saying what is missing.
TEST_F(LauncherTest, StartsOneLunaveilDetachedUnlessOneHoldsTheLockInTheUsersOwnFolder)
{
    EXPECT_TRUE(runLauncher(runtimeDir().string()));
    EXPECT_FALSE(fs::exists(gate())) << "the launcher waited for the program it started";
    const auto started = launches();
    ASSERT_EQ(started.size(), 1u) << readFile(tmp_ / "launches");
    auto launch = started.front();
    EXPECT_EQ(launch["session"], launch["pid"]) << "not the leader of a session of its own";
    launch.erase("session");
    launch.erase("pid");
    // Started at login, Lunaveil keeps its popover closed; stdin and stray descriptors are not handed on.
    EXPECT_EQ(launch, (std::map<std::string, std::string>{{"program", program().string()}, {"argc", "1"},
        {"first", "-psn_0_0"}, {"helper", "1"}, {"helpers", "1"}, {"stdin", "/dev/null"}, {"stray", "closed"}}));
    EXPECT_FALSE(fs::exists(lockFile())) << "testing the lock created it";

    const fs::path fallback = fs::path("/tmp") / ("lunaveil-runtime-" + std::to_string(::getuid()));
    const int fd = ::open((fallback / "com.quorvex.Lunaveil.lock").c_str(), O_RDONLY | O_CLOEXEC);
    const bool fallbackHeld = fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0;  // by a Lunaveil of this user
    if (fd >= 0)
        ::close(fd);
    const std::string own = runtimeDir().string();
    const std::vector<std::tuple<const char*, std::function<void()>, std::string, fs::path, std::size_t>> cases{
        {"a lock file left behind", [&] { std::ofstream(lockFile()).close(); }, own, {}, 1},
        {"the lock held", [] {}, own, lockFile(), 0},
        {"held in a folder others may enter",
         [&] { fs::permissions(runtimeDir(), fs::perms::group_read | fs::perms::group_exec, fs::perm_options::add); },
         own, lockFile(), 1},
        {"held under a relative XDG_RUNTIME_DIR", [&] { fs::create_directories(tmp_ / "relative"); }, "relative",
         tmp_ / "relative" / "com.quorvex.Lunaveil.lock", fallbackHeld ? 0u : 1u},
        {"no bin/lunaveil", [&] { fs::remove(program()); }, own, {}, 0},
    };
    for (const auto& [what, prepare, runtime, held, more] : cases) {
        const std::size_t before = launches().size();
        prepare();
        EXPECT_TRUE(runLauncher(runtime, held)) << what;
        EXPECT_EQ(launches().size(), before + more) << what;
    }
    EXPECT_NE(readFile(tmp_ / "stderr").find(program().string()), std::string::npos) << readFile(tmp_ / "stderr");
}

}  // namespace
