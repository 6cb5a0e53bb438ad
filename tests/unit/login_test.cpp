// Start at login: the paths the autostart entry refuses, and writing and removing the entry in a
// config folder of the test's own, checked against real desktop-entry readers.

#include "login/DesktopEntry.h"
#include "login/SystemConfigurationService.h"
#include "support/TextFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace lunaveil {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;
using test::shellQuoted;

// In CI every checker must be there; elsewhere a missing one skips its test.
#define REQUIRE_PROGRAM(name)                                                                      \
    if (std::system("command -v " name " >/dev/null 2>&1") != 0) {                                \
        if (std::getenv("CI") != nullptr)                                                          \
            FAIL() << name << " is missing";                                                       \
        GTEST_SKIP() << name << " is not installed";                                               \
    }

// Relative; what autostart programs refuse or misread ('%', '\\'); control characters; never in
// UTF-8, a lone continuation byte, cut short, cut short inside, past U+10FFFF, five bytes, an
// overlong '/' and a surrogate.
TEST(ExecValue, EscapesWhatNeedsItAndRefusesPathsNoDesktopEntryCanName)
{
    const std::string unnameable[] = {
        "", "lunaveil-launcher", "libexec/lunaveil/lunaveil-launcher", "/opt/100%/l", R"(/opt/back\slash/l)",
        "/opt/line\nbreak/l", "/opt/tab\there/l", "/opt/\r/l", "/opt/\x01/l", "/opt/\x7f/l", std::string("/opt/nul\0/l", 11),
        "/opt/\xff/l", "/opt/\x80/l", "/opt/\xc3", "/opt/\xe2\x82/l", "/opt/\xf4\x90\x80\x80/l",
        "/opt/\xf8\x88\x80\x80\x80/l", "/opt/\xc0\xaf/l", "/opt/\xed\xa0\x80/l",
    };
    for (const std::string& path : unnameable) {
        SCOPED_TRACE(::testing::PrintToString(path));
        EXPECT_FALSE(execPathProblem(path).value_or("").empty());
        EXPECT_FALSE(execValue(path) || autostartEntry(path));
    }
    // The quoting's escapes, then the string escape over them, as desktop-entry readers undo them.
    EXPECT_EQ(execValue("/opt/l"), "/opt/l");
    EXPECT_EQ(execValue(R"(/opt/a "b" `c` $d/l)"), R"("/opt/a \\"b\\" \\`c\\` \\$d/l")");
}

// Beside the program in libexec (the end-to-end test finds it so in the build tree), also as
// /proc/self/exe names it once an upgrade replaced the program.
TEST(LauncherLocation, IsBesideTheProgramInLibexec)
{
    const std::pair<fs::path, fs::path> cases[] = {
        {"/usr/bin/lunaveil (deleted)", "/usr/libexec/lunaveil/lunaveil-launcher"}, {"", ""}};
    for (const auto& [program, launcher] : cases)
        EXPECT_EQ(SystemConfigurationService::launcherBeside(program), launcher) << program;
}

struct StartAtLoginTest : ::testing::Test {
    fs::path configHome() const { return tmp_ / "config"; }
    fs::path entryFile() const { return configHome() / "autostart" / "com.quorvex.LunaveilLauncher.desktop"; }
    void startAtLogin(const fs::path& launcher, bool on, const fs::path& config = {}) const
    {
        SystemConfigurationService(launcher, config.empty() ? configHome() : config).startAtLogin(on);
    }

    // A launcher that records the path it was started by.
    fs::path installLauncher(const std::string& folder) const
    {
        const fs::path launcher = tmp_ / folder / "lunaveil-launcher";
        fs::create_directories(launcher.parent_path());
        std::ofstream(launcher) << "#!/bin/sh\nprintf '%s\\n' \"$0\" >> " << shellQuoted(tmp_ / "launches") << "\n";
        fs::permissions(launcher, fs::perms::owner_all);
        return launcher;
    }

    // The launchers' paths as they recorded them, one a line, once they are `expected` or after a bounded wait.
    std::string launches(const std::string& expected) const
    {
        std::string text;
        for (const auto deadline = std::chrono::steady_clock::now() + 10s;
             (text = readFile(tmp_ / "launches")) != expected && std::chrono::steady_clock::now() < deadline;)
            std::this_thread::sleep_for(10ms);
        return text;
    }

    QTemporaryDir dir_;
    const fs::path tmp_ = dir_.path().toStdString();
    std::vector<std::string>& warnings = test::recordWarnings();
};

// On replaces an earlier entry and starts the launcher; GLib then reads the entry as GNOME's,
// Cinnamon's and MATE's sessions do at login and must find exactly the launcher, whatever its folder
// is called, and desktop-file-validate finds no fault. Off removes only the entry, harmlessly again
// or without a config folder; each failure writes and starts nothing and says why.
TEST_F(StartAtLoginTest, ADesktopSessionRunsTheLauncherOnWritesOffRemovesAndAFailureSaysWhy)
{
    REQUIRE_PROGRAM("gio");
    REQUIRE_PROGRAM("desktop-file-validate");
    fs::create_directories(entryFile().parent_path());
    std::ofstream(entryFile()) << "[Desktop Entry]\nType=Application\nExec=/old/place/lunaveil-launcher\n";
    const fs::path other = entryFile().parent_path() / "other.desktop";
    std::ofstream(other) << "[Desktop Entry]\n";
    std::string expected;
    fs::path launcher;
    for (const std::string folder : {"plain", "with space", R"(q"uo"te)", "dollar $HOME", "back`tick`", "it's",
                                     "a;b&c|d*e?f#g(h)<i>~j", "a=b,c+d@e:f[g]{h}!", "zo\u00eb \u041b\u0443\u043d\u0430"}) {
        launcher = installLauncher(folder);
        startAtLogin(launcher, true);  // which starts it once
        const std::string entry = shellQuoted(entryFile().string());
        const std::string validate = "test -z \"$(desktop-file-validate " + entry + " 2>&1)\"";  // not even a hint
        EXPECT_EQ(std::system(validate.c_str()), 0) << folder;
        const std::string command = "env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS gio launch " + entry + " 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << folder;
        expected += launcher.string() + "\n" + launcher.string() + "\n";
        EXPECT_EQ(launches(expected), expected) << folder;
    }
    EXPECT_EQ(fs::status(entryFile()).permissions(), fs::perms(0644));
    startAtLogin(launcher, false);
    startAtLogin(launcher, false);
    EXPECT_TRUE(!fs::exists(entryFile()) && fs::exists(other));
    startAtLogin(launcher, false, tmp_ / "never-made");
    EXPECT_FALSE(fs::exists(tmp_ / "never-made"));
    EXPECT_TRUE(warnings.empty());

    fs::remove_all(configHome());
    std::ofstream(tmp_ / "file") << "a file where the config folder should be";
    const std::pair<fs::path, const char*> failures[] = {{installLauncher("line\nbreak"), "control character"},
        {tmp_ / "libexec" / "lunaveil-launcher", "missing"}, {fs::path(), ""}, {installLauncher("bin"), "cannot write"}};
    for (const auto& [failing, why] : failures) {
        warnings.clear();
        startAtLogin(failing, true, std::string(why) == "cannot write" ? tmp_ / "file" : configHome());
        ASSERT_EQ(warnings.size(), 1u) << failing;
        EXPECT_NE(warnings[0].find(why), std::string::npos) << warnings[0];
    }
    EXPECT_FALSE(fs::exists(configHome()));
    EXPECT_EQ(launches(expected), expected);
}

}  // namespace
}  // namespace lunaveil
