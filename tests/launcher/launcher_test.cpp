// lunaveil-launcher as the login runs it: a copy in a prefix of its own, with a recording stand-in
// for bin/lunaveil, so every launch it makes is a real process that leaves a line behind.

#include "support/TextFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using lunaveil::test::readFile;
using lunaveil::test::shellQuoted;

// Once, detached, when it does not run; then only a lock held in a folder of the user's own stops a
// start: a lock file left behind by a Lunaveil that has ended stops nothing, nor does a lock held in
// a folder others may enter (it may be anybody's). Without bin/lunaveil it still ends with 0,
// saying what is missing.
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
                           << " [ \"$(readlink \"$fd\")\" = " << shellQuoted(dir / "stray") << " ] && stray=open; done\n"
                           << "echo \"$record helpers=$(tr '\\0' '\\n' < /proc/$$/environ | grep -c '^RestartedFromHelper=')"
                           << " stdin=$(readlink /proc/$$/fd/0) stray=$stray\" >> " << shellQuoted(dir / "launches") << "\n"
                           << "i=0; while [ ! -e " << shellQuoted(dir / "gate") << " ] && [ $i -lt 1000 ]; do"
                           << " sleep 0.01; i=$((i+1)); done\n";
    fs::permissions(program, fs::perms::owner_all);

    // Runs the launcher as a login would, with a stray descriptor open across exec, stdin that is
    // not /dev/null and a stale RestartedFromHelper entry, none of which it may hand on; while
    // `held` is held, when given, as a running Lunaveil holds its lock. True when it ended in time
    // with status 0.
    const auto runLauncher = [&](const fs::path& held) {
        const std::string command = std::string("cd ") + shellQuoted(dir) + " && exec " +
                                    (held.empty() ? "" : std::string("flock --nonblock --close ") + shellQuoted(held) + " ") +
                                    "env XDG_RUNTIME_DIR=" + shellQuoted(runtime) + " RestartedFromHelper=0 timeout 10 " +
                                    shellQuoted(launcher) + " </dev/zero 9>" + shellQuoted(dir / "stray") + " 2>" +
                                    shellQuoted(dir / "stderr");
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

    EXPECT_TRUE(runLauncher({}));
    // Started at login, Lunaveil keeps its popover closed; stdin and stray descriptors are not handed
    // on, and it leads a session of its own.
    EXPECT_EQ(launches(), std::string("program=") + program.string() +
                              " argc=1 first=-psn_0_0 helper=1 leader helpers=1 stdin=/dev/null stray=closed\n");
    EXPECT_FALSE(fs::exists(lock)) << "testing the lock created it";

    const std::vector<std::tuple<const char*, std::function<void()>, fs::path, std::size_t>> cases{
        {"a lock file left behind", [&] { std::ofstream(lock).close(); }, {}, 1},
        {"the lock held", [] {}, lock, 0},
        {"held in a folder others may enter",
         [&] { fs::permissions(runtime, fs::perms::group_read | fs::perms::group_exec, fs::perm_options::add); }, lock, 1},
        {"no bin/lunaveil", [&] { fs::remove(program); }, {}, 0},
    };
    for (const auto& [what, prepare, held, more] : cases) {
        const std::size_t before = count();
        prepare();
        EXPECT_TRUE(runLauncher(held)) << what;
        EXPECT_EQ(count(), before + more) << what;
    }
    EXPECT_NE(readFile(dir / "stderr").find(program.string()), std::string::npos) << readFile(dir / "stderr");
}

}  // namespace
