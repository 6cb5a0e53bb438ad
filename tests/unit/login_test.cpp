// Start at login: the autostart entry's Exec quoting, the paths it refuses, and writing and
// removing the entry in a config folder of the test's own, checked against real desktop-entry readers.

#include "login/DesktopEntry.h"
#include "login/SystemConfigurationService.h"

#include <QString>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lunaveil {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// In CI every checker must be there; elsewhere a missing one skips its test.
#define REQUIRE_PROGRAM(name)                                                                      \
    do {                                                                                           \
        if (!hasProgram(name)) {                                                                   \
            if (std::getenv("CI") != nullptr)                                                      \
                FAIL() << name << " is missing";                                                   \
            GTEST_SKIP() << name << " is not installed";                                           \
        }                                                                                          \
    } while (false)

bool hasProgram(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The keys of a desktop entry; its group header is the line without '=' (key "[Desktop Entry]").
std::map<std::string, std::string> keys(const std::string& entry)
{
    std::map<std::string, std::string> result;
    std::istringstream in(entry);
    for (std::string line; std::getline(in, line);) {
        const auto equals = line.find('=');
        result[line.substr(0, equals)] = equals == std::string::npos ? "" : line.substr(equals + 1);
    }
    return result;
}

struct Quoting {
    std::string path;
    std::string exec;
};

void PrintTo(const Quoting& quoting, std::ostream* out)
{
    *out << quoting.path;
}

class ExecQuoting : public ::testing::TestWithParam<Quoting> {};

TEST_P(ExecQuoting, FollowsTheDesktopEntryRules)
{
    EXPECT_EQ(execPathProblem(GetParam().path), std::nullopt);
    EXPECT_EQ(execValue(GetParam().path), GetParam().exec);
}

// Inside quotes ", `, $ and \ take a backslash, and the string escape then doubles every backslash.
INSTANTIATE_TEST_SUITE_P(
    Paths, ExecQuoting,
    ::testing::Values(
        Quoting{"/usr/libexec/lunaveil/lunaveil-launcher", "/usr/libexec/lunaveil/lunaveil-launcher"},
        Quoting{"/opt/My Apps/l", R"("/opt/My Apps/l")"}, Quoting{R"(/opt/say "hi"/l)", R"("/opt/say \\"hi\\"/l")"},
        Quoting{R"(/opt/back\slash/l)", R"("/opt/back\\\\slash/l")"}, Quoting{"/opt/$HOME/l", R"("/opt/\\$HOME/l")"},
        Quoting{"/opt/`id`/l", R"("/opt/\\`id\\`/l")"}, Quoting{"/opt/100%/l", "/opt/100%%/l"},
        Quoting{"/opt/50% off/l", R"("/opt/50%% off/l")"}, Quoting{"/opt/it's/l", R"("/opt/it's/l")"},
        Quoting{"/opt/a;b&c|d*e?f#g(h)<i>~j/l", R"("/opt/a;b&c|d*e?f#g(h)<i>~j/l")"},
        Quoting{"/opt/a=b,c+d@e:f[g]{h}!/l", "/opt/a=b,c+d@e:f[g]{h}!/l"},
        Quoting{"/home/zo\u00eb/\u041b\u0443\u043d\u0430/l", "/home/zo\u00eb/\u041b\u0443\u043d\u0430/l"},
        Quoting{"/opt/\U0001F319/l", "/opt/\U0001F319/l"}));

class UnnameablePath : public ::testing::TestWithParam<std::string> {};

TEST_P(UnnameablePath, IsRefusedWithAReason)
{
    const std::optional<std::string> problem = execPathProblem(GetParam());
    ASSERT_TRUE(problem.has_value());
    EXPECT_FALSE(problem->empty());
    EXPECT_EQ(execValue(GetParam()), std::nullopt);
    EXPECT_EQ(autostartEntry(GetParam()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Paths, UnnameablePath,
                         ::testing::Values(std::string(), std::string("lunaveil-launcher"),
                                           std::string("libexec/lunaveil/lunaveil-launcher"),
                                           std::string("/opt/line\nbreak/l"), std::string("/opt/tab\there/l"),
                                           std::string("/opt/\r/l"), std::string("/opt/\x01/l"),
                                           std::string("/opt/\x7f/l"), std::string("/opt/nul\0/l", 11),
                                           std::string("/opt/\xff/l"),           // never in UTF-8
                                           std::string("/opt/\x80/l"),           // a lone continuation byte
                                           std::string("/opt/\xc3"),             // cut short
                                           std::string("/opt/\xe2\x82/l"),       // cut short inside
                                           std::string("/opt/\xf4\x90\x80\x80/l"),  // past U+10FFFF
                                           std::string("/opt/\xf8\x88\x80\x80\x80/l"),  // five bytes
                                           std::string("/opt/\xc0\xaf/l"),       // overlong '/'
                                           std::string("/opt/\xed\xa0\x80/l")));  // a surrogate

TEST(AutostartEntry, PassesTheDesktopEntryValidatorForOddPaths)
{
    REQUIRE_PROGRAM("desktop-file-validate");
    const fs::path file = fs::temp_directory_path() / ("lunaveil-validate-" + std::to_string(::getpid()) + ".desktop");
    for (const std::string path : {"/usr/libexec/lunaveil/lunaveil-launcher", R"(/opt/"q" \b $v `c` 5% 'a'/l)",
                                   "/opt/a;b&c|d*e?f#g(h)<i>~j/l", "/home/zo\u00eb/\u041b\u0443\u043d\u0430/l"}) {
        std::ofstream(file) << autostartEntry(path).value();
        EXPECT_EQ(keys(autostartEntry(path).value()).at("Exec"), execValue(path).value());
        const std::string command = "desktop-file-validate " + shellQuoted(file.string()) + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        for (int c; (c = std::fgetc(pipe)) != EOF;)
            output += static_cast<char>(c);
        EXPECT_EQ(::pclose(pipe), 0) << path << ":\n" << output;
        EXPECT_EQ(output, "") << path;
    }
    fs::remove(file);
}

TEST(LauncherLocation, IsBesideTheProgramInLibexec)
{
    EXPECT_EQ(SystemConfigurationService::launcherBeside("/usr/bin/lunaveil"),
              fs::path("/usr/libexec/lunaveil/lunaveil-launcher"));
    EXPECT_EQ(SystemConfigurationService::launcherBeside("/home/me/build/bin/lunaveil"),
              fs::path("/home/me/build/libexec/lunaveil/lunaveil-launcher"));
    // What /proc/self/exe tells once a package upgrade has replaced the running program.
    EXPECT_EQ(SystemConfigurationService::launcherBeside("/usr/bin/lunaveil (deleted)"),
              fs::path("/usr/libexec/lunaveil/lunaveil-launcher"));
    EXPECT_EQ(SystemConfigurationService::launcherBeside(""), fs::path());
}

std::vector<std::string> warnings;

void recordWarning(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg)
        warnings.push_back(message.toStdString());
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
}

class StartAtLoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "lunaveil-login-test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        tmp_ = pattern;
        warnings.clear();
        previousHandler_ = qInstallMessageHandler(recordWarning);
    }

    void TearDown() override
    {
        qInstallMessageHandler(previousHandler_);
        std::error_code ec;
        fs::remove_all(tmp_, ec);
    }

    fs::path configHome() const { return tmp_ / "config"; }
    fs::path record() const { return tmp_ / "launches"; }
    fs::path entryFile() const { return configHome() / "autostart" / "com.quorvex.LunaveilLauncher.desktop"; }

    // A launcher that records the path it was started by.
    fs::path installLauncher(const std::string& folder) const
    {
        const fs::path launcher = tmp_ / folder / "lunaveil-launcher";
        fs::create_directories(launcher.parent_path());
        std::ofstream(launcher) << "#!/bin/sh\nprintf '%s\\n' \"$0\" >> " << shellQuoted(record().string()) << "\n";
        fs::permissions(launcher, fs::perms::owner_all);
        return launcher;
    }

    // The launches recorded once `count` have come, or what there is after a bounded wait.
    std::vector<std::string> launches(std::size_t count) const
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        std::vector<std::string> lines;
        do {
            lines.clear();
            std::istringstream in(readFile(record()));
            for (std::string line; std::getline(in, line);)
                lines.push_back(line);
            if (lines.size() >= count)
                break;
            std::this_thread::sleep_for(10ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return lines;
    }

    fs::path tmp_;
    QtMessageHandler previousHandler_ = nullptr;
};

TEST_F(StartAtLoginTest, OnWritesTheEntryOverAnEarlierInstallsAndStartsTheLauncherAtOnce)
{
    const fs::path launcher = installLauncher("odd $folder \"name\"");
    fs::create_directories(entryFile().parent_path());
    std::ofstream(entryFile()) << "[Desktop Entry]\nType=Application\nExec=/old/place/lunaveil-launcher\n";
    SystemConfigurationService(launcher, configHome()).startAtLogin(true);

    EXPECT_EQ(SystemConfigurationService(launcher, configHome()).entryPath(), entryFile());
    EXPECT_EQ(readFile(entryFile()), autostartEntry(launcher.native()).value());
    struct stat info {};
    ASSERT_EQ(::stat(entryFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_EQ(keys(readFile(entryFile())).at("X-GNOME-Autostart-enabled"), "true");
    EXPECT_EQ(launches(1), std::vector<std::string>{launcher.string()});
    EXPECT_TRUE(warnings.empty());
}

TEST_F(StartAtLoginTest, OffRemovesOnlyTheEntryAndIsHarmlessWhenThereIsNone)
{
    const fs::path launcher = installLauncher("bin");
    SystemConfigurationService(launcher, configHome()).startAtLogin(true);
    const fs::path other = entryFile().parent_path() / "other.desktop";
    std::ofstream(other) << "[Desktop Entry]\n";
    ASSERT_EQ(launches(1).size(), 1u);

    SystemConfigurationService(launcher, configHome()).startAtLogin(false);
    EXPECT_FALSE(fs::exists(entryFile()));
    EXPECT_TRUE(fs::exists(other));

    SystemConfigurationService(launcher, configHome()).startAtLogin(false);
    SystemConfigurationService(launcher, tmp_ / "never-made").startAtLogin(false);
    EXPECT_FALSE(fs::exists(tmp_ / "never-made"));
    EXPECT_TRUE(warnings.empty());
}

TEST_F(StartAtLoginTest, AnUnnameableOrMissingLauncherWritesNothingAndSaysWhy)
{
    SystemConfigurationService(installLauncher("line\nbreak"), configHome()).startAtLogin(true);
    SystemConfigurationService(tmp_ / "libexec" / "lunaveil-launcher", configHome()).startAtLogin(true);
    SystemConfigurationService(fs::path(), configHome()).startAtLogin(true);

    EXPECT_FALSE(fs::exists(configHome()));
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[0].find("control character"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("missing"), std::string::npos) << warnings[1];
    EXPECT_TRUE(launches(0).empty());
}

TEST_F(StartAtLoginTest, AnUnwritableConfigFolderIsToldNotFatal)
{
    const fs::path launcher = installLauncher("bin");
    std::ofstream(configHome()) << "a file where the folder should be";

    SystemConfigurationService(launcher, configHome()).startAtLogin(true);

    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings.front().find("cannot write"), std::string::npos) << warnings.front();
    EXPECT_TRUE(launches(0).empty());
}

TEST_F(StartAtLoginTest, ByDefaultTheEntryGoesUnderXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray(configHome().c_str()));
    EXPECT_EQ(SystemConfigurationService().entryPath(), entryFile());
    wasSet ? qputenv("XDG_CONFIG_HOME", saved) : qunsetenv("XDG_CONFIG_HOME");
}

// GLib reads the entry as GNOME's, Cinnamon's and MATE's sessions do at login: it must run
// exactly the launcher, whatever its folder is called.
TEST_F(StartAtLoginTest, ADesktopSessionRunsTheLauncherTheEntryNames)
{
    REQUIRE_PROGRAM("gio");
    // GLib checks the program exists before it expands "%%", so a '%' in the path is left out here.
    const std::vector<std::string> folders = {
        "plain", "with space", R"(q"uo"te)", R"(back\slash)", "dollar $HOME", "back`tick`", "it's",
        "a;b&c|d*e?f#g(h)<i>~j", "zo\u00eb \u041b\u0443\u043d\u0430"};
    std::vector<std::string> expected;
    for (const std::string& folder : folders) {
        const fs::path launcher = installLauncher(folder);
        SystemConfigurationService(launcher, configHome()).startAtLogin(true);
        const std::string command = "env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS gio launch " +
                                    shellQuoted(entryFile().string()) + " 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << folder;
        // One start by the service itself, one by the session.
        expected.insert(expected.end(), 2, launcher.string());
        EXPECT_EQ(launches(expected.size()), expected) << folder;
    }
}

}  // namespace
}  // namespace lunaveil
