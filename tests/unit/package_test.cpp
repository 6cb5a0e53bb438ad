// The Debian package as cpack builds it from this build tree: its control data, its files, and
// the programs it installs, run from an unpacked copy.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string output;  // standard output and standard error together
};

std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Result run(const std::vector<std::string>& command)
{
    std::string line;
    for (const std::string& word : command)
        line += shellQuoted(word) + " ";
    line += "2>&1";
    Result result;
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr)
        return result;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        result.output += static_cast<char>(c);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool hasProgram(const std::string& name)
{
    return run({"sh", "-c", "command -v " + name}).status == 0;
}

class PackageTest : public ::testing::Test {
protected:
    // One package for the whole suite: building it is the slow part.
    static void SetUpTestSuite()
    {
        for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps"}) {
            if (!hasProgram(tool)) {
                missingTool_ = tool;
                return;
            }
        }
        std::string pattern = (fs::temp_directory_path() / "lunaveil-package-test.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        dir_ = pattern;
        cpack_ = run({LUNAVEIL_CPACK, "--config", LUNAVEIL_CPACK_CONFIG, "-G", "DEB", "-B", dir_.string()});
        for (const auto& entry : fs::directory_iterator(dir_)) {
            if (entry.path().extension() == ".deb")
                deb_ = entry.path();
        }
    }

    static void TearDownTestSuite()
    {
        std::error_code ec;
        if (!dir_.empty())
            fs::remove_all(dir_, ec);
    }

    void SetUp() override
    {
        // In CI the package must be built and checked; elsewhere a machine without dpkg-dev skips.
        if (!missingTool_.empty()) {
            if (std::getenv("CI") != nullptr)
                FAIL() << missingTool_ << " is missing (package dpkg-dev)";
            GTEST_SKIP() << missingTool_ << " is not installed (package dpkg-dev)";
        }
        ASSERT_EQ(cpack_.status, 0) << cpack_.output;
        ASSERT_FALSE(deb_.empty()) << cpack_.output;
    }

    static fs::path unpacked()
    {
        const fs::path root = dir_ / "root";
        if (!fs::exists(root))
            run({"dpkg-deb", "-x", deb_.string(), root.string()});
        return root;
    }

    static inline std::string missingTool_;
    static inline fs::path dir_;
    static inline fs::path deb_;
    static inline Result cpack_;
};

TEST_F(PackageTest, DescribesLunaveilWithItsLibrariesAsDependencies)
{
    const Result info = run({"dpkg-deb", "-I", deb_.string()});
    ASSERT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("Package: lunaveil\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Version: " LUNAVEIL_VERSION "\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Maintainer: Lunaveil developers <support@lunaveil.org>\n"), std::string::npos)
        << info.output;
    // Worked out by dpkg-shlibdeps from the programs' libraries.
    for (const char* library : {"libc6", "libqt6widgets6", "libxcb-randr0"})
        EXPECT_NE(info.output.find(library), std::string::npos) << library << " missing from\n" << info.output;
}

TEST_F(PackageTest, HoldsTheProgramsAndDesktopFilesUnderUsr)
{
    const Result listing = run({"dpkg-deb", "-c", deb_.string()});
    ASSERT_EQ(listing.status, 0) << listing.output;
    for (const char* file :
         {"./usr/bin/lunaveil", "./usr/libexec/lunaveil/lunaveil-launcher",
          "./usr/share/applications/com.quorvex.Lunaveil.desktop",
          "./usr/share/icons/hicolor/scalable/apps/com.quorvex.Lunaveil.svg",
          "./usr/share/metainfo/com.quorvex.Lunaveil.metainfo.xml", "./usr/share/man/man1/lunaveil.1"}) {
        EXPECT_NE(listing.output.find(std::string(file) + "\n"), std::string::npos) << file << " missing from\n"
                                                                                     << listing.output;
    }
    // Nothing else of the build tree (tests, benchmarks) and nothing outside /usr.
    std::istringstream lines(listing.output);
    for (std::string line; std::getline(lines, line);) {
        const std::string path = line.substr(line.rfind(' ') + 1);
        EXPECT_TRUE(path == "./" || path.starts_with("./usr/")) << path;
        EXPECT_EQ(path.find("test"), std::string::npos) << path;
        EXPECT_EQ(path.find("bench"), std::string::npos) << path;
    }
}

TEST_F(PackageTest, InstalledProgramsRun)
{
    const fs::path root = unpacked();
    const Result version = run({(root / "usr/bin/lunaveil").string(), "--version"});
    EXPECT_EQ(version.status, 0) << version.output;
    EXPECT_EQ(version.output, "lunaveil " LUNAVEIL_VERSION "\n");

    // launcher_test runs the launcher itself; here only that the package installs it runnable.
    EXPECT_EQ(::access((root / "usr/libexec/lunaveil/lunaveil-launcher").c_str(), X_OK), 0);
}

TEST_F(PackageTest, DesktopFilesPassTheirValidators)
{
    const fs::path share = unpacked() / "usr/share";
    for (const char* tool : {"desktop-file-validate", "appstreamcli"}) {
        if (!hasProgram(tool)) {
            if (std::getenv("CI") != nullptr)
                FAIL() << tool << " is missing";
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    const Result entry = run({"desktop-file-validate", (share / "applications/com.quorvex.Lunaveil.desktop").string()});
    EXPECT_EQ(entry.status, 0) << entry.output;
    EXPECT_EQ(entry.output, "");
    const Result metainfo =
        run({"appstreamcli", "validate", "--no-net", (share / "metainfo/com.quorvex.Lunaveil.metainfo.xml").string()});
    EXPECT_EQ(metainfo.status, 0) << metainfo.output;
}

}  // namespace
