// lunaveil-launcher as the login runs it: a copy in a prefix of its own, with a recording stand-in
// for bin/lunaveil, so every launch it makes is a real process that leaves a line behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

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

// Once, detached, when it does not run; then only a lock held in a folder of the user's own stops a
// start: a lock file left behind by a Lunaveil that has ended, a lock in a folder others may enter
// (it may be anybody's) and one under a relative XDG_RUNTIME_DIR (the launcher then tests the
// fallback folder under /tmp, as Lunaveil does) stop nothing. Without bin/lunaveil it still ends
// with 0, saying what is missing.
TEST(Launcher, StartsOneLunaveilDetachedUnlessOneHoldsTheLockInTheUsersOwnFolder)
{
    // Orphans of the launcher come to this process, so every launch can be awaited and counted.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    // In the build tree, emptied first; resolved, as the launcher sees its own path.
    fs::remove_all(LUNAVEIL_LAUNCHER_TEST_DIR);
    fs::create_directories(LUNAVEIL_LAUNCHER_TEST_DIR "/runtime");
    const fs::path dir = fs::canonical(LUNAVEIL_LAUNCHER_TEST_DIR), runtime = dir / "runtime";
    const fs::path launcher = dir / "prefix/libexec/lunaveil/lunaveil-launcher", program = dir / "prefix/bin/lunaveil";
    const fs::path lock = runtime / "com.quorvex.Lunaveil.lock";
    fs::permissions(runtime, fs::perms::owner_all);
    fs::create_directories(launcher.parent_path());
    fs::create_directories(program.parent_path());
    // A copy, not a link: the launcher finds bin/lunaveil from its resolved own path.
    fs::copy_file(LUNAVEIL_LAUNCHER, launcher);
    // bin/lunaveil records how it was started, then waits for the gate, so that the launcher is seen
    // to end while the program it started still runs. Open descriptors are told by what they refer
    // to, as the shell holds some of its own; the environment as it was started, as a shell keeps
    // only one entry of a name.
    std::ofstream(program) << "#!/bin/sh\n"
                           << "record=\"program=$0 argc=$# first=${1-none} helper=${RestartedFromHelper-unset}\"\n"
                           << "read -r stat < /proc/$$/stat; set -- $stat; [ \"$6\" = $$ ] && record=\"$record leader\"\n"
                           << "stray=closed; for fd in /proc/$$/fd/*; do"
                           << " [ \"$(readlink \"$fd\")\" = " << quoted(dir / "stray") << " ] && stray=open; done\n"
                           << "echo \"$record helpers=$(tr '\\0' '\\n' < /proc/$$/environ | grep -c '^RestartedFromHelper=')"
                           << " stdin=$(readlink /proc/$$/fd/0) stray=$stray\" >> " << quoted(dir / "launches") << "\n"
                           << "i=0; while [ ! -e " << quoted(dir / "gate") << " ] && [ $i -lt 1000 ]; do"
                           << " sleep 0.01; i=$((i+1)); done\n";
    fs::permissions(program, fs::perms::owner_all);

    // Runs the launcher as a login would, with a stray descriptor open across exec, stdin that is
    // not /dev/null and a stale RestartedFromHelper entry, none of which it may hand on; while
    // `held` is held, when given, as a running Lunaveil holds its lock. True when it ended in time
    // with status 0.
    const auto runLauncher = [&](const std::string& runtimeDir, const fs::path& held) {
        const std::string command = std::string("cd ") + quoted(dir) + " && exec " +
                                    (held.empty() ? "" : std::string("flock --nonblock --close ") + quoted(held) + " ") +
                                    "env XDG_RUNTIME_DIR=" + quoted(runtimeDir) + " RestartedFromHelper=0 timeout 10 " +
                                    quoted(launcher) + " </dev/zero 9>" + quoted(dir / "stray") + " 2>" +
                                    quoted(dir / "stderr");
        const int status = std::system(command.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    // Opens the gate, reaps every process the launcher started and gives their records, a line each.
    const auto launches = [&] {
        std::ofstream(dir / "gate").close();
        while (::waitpid(-1, nullptr, 0) > 0) {
        }
        return readFile(dir / "launches");
    };
    const auto count = [&] { return static_cast<std::size_t>(std::ranges::count(launches(), '\n')); };

    EXPECT_TRUE(runLauncher(runtime.string(), {}));
    // Started at login, Lunaveil keeps its popover closed; stdin and stray descriptors are not handed
    // on, and it leads a session of its own.
    EXPECT_EQ(launches(), std::string("program=") + program.string() +
                              " argc=1 first=-psn_0_0 helper=1 leader helpers=1 stdin=/dev/null stray=closed\n");
    EXPECT_FALSE(fs::exists(lock)) << "testing the lock created it";

    const fs::path fallback = fs::path("/tmp") / ("lunaveil-runtime-" + std::to_string(::getuid()));
    const int fd = ::open((fallback / "com.quorvex.Lunaveil.lock").c_str(), O_RDONLY | O_CLOEXEC);
    const bool fallbackHeld = fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0;  // by a Lunaveil of this user
    if (fd >= 0)
        ::close(fd);
    const std::string own = runtime.string();
    const std::vector<std::tuple<const char*, std::function<void()>, std::string, fs::path, std::size_t>> cases{
        {"a lock file left behind", [&] { std::ofstream(lock).close(); }, own, {}, 1},
        {"the lock held", [] {}, own, lock, 0},
        {"held in a folder others may enter",
         [&] { fs::permissions(runtime, fs::perms::group_read | fs::perms::group_exec, fs::perm_options::add); }, own,
         lock, 1},
        {"held under a relative XDG_RUNTIME_DIR", [&] { fs::create_directories(dir / "relative"); }, "relative",
         dir / "relative" / "com.quorvex.Lunaveil.lock", fallbackHeld ? 0u : 1u},
        {"no bin/lunaveil", [&] { fs::remove(program); }, own, {}, 0},
    };
    for (const auto& [what, prepare, runtimeDir, held, more] : cases) {
        const std::size_t before = count();
        prepare();
        EXPECT_TRUE(runLauncher(runtimeDir, held)) << what;
        EXPECT_EQ(count(), before + more) << what;
    }
    EXPECT_NE(readFile(dir / "stderr").find(program.string()), std::string::npos) << readFile(dir / "stderr");
}

}  // namespace
