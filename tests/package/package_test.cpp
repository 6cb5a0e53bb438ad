// The Debian package as cpack builds it from this build tree: its control data, its files, and
// the programs it installs, run from an unpacked copy. One test, as building the package is the slow part.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

Result run(const std::vector<std::string>& command)
{
    std::string line;
    for (const std::string& word : command) {
        line += "'";
        for (const char c : word)
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += "' ";
    }
    Result result;
    FILE* pipe = ::popen((line + "2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        result.output += static_cast<char>(c);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// In CI every tool must be there; elsewhere a missing one skips the rest of the test.
bool present(const char* tool)
{
    const bool found = run({"sh", "-c", std::string("command -v ") + tool}).status == 0;
    if (!found && std::getenv("CI") != nullptr)
        ADD_FAILURE() << tool << " is missing";
    return found;
}

TEST(Package, HoldsLunaveilUnderUsrWithItsLibrariesAsDependenciesAndValidFiles)
{
    for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps", "lintian", "hardening-check"})
        if (!present(tool))
            GTEST_SKIP() << tool << " is not installed (packages dpkg-dev, lintian, devscripts)";
    std::string pattern = (fs::temp_directory_path() / "lunaveil-package-test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const struct Folder {
        fs::path path;
        ~Folder()
        {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } dir{pattern};
    const Result cpack = run({LUNAVEIL_CPACK, "--config", LUNAVEIL_CPACK_CONFIG, "-G", "DEB", "-B", dir.path.string()});
    ASSERT_EQ(cpack.status, 0) << cpack.output;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(dir.path))
        if (entry.path().extension() == ".deb")
            deb = entry.path();
    ASSERT_FALSE(deb.empty()) << cpack.output;

    const Result info = run({"dpkg-deb", "-I", deb.string()});
    ASSERT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("Package: lunaveil\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Version: " LUNAVEIL_VERSION "\n"), std::string::npos) << info.output;
    // Worked out by dpkg-shlibdeps from the programs' libraries.
    for (const char* library : {"libc6", "libqt6widgets6", "libxcb-randr0"})
        EXPECT_NE(info.output.find(library), std::string::npos) << library << " missing from\n" << info.output;

    // Unpacked: the programs and their files under /usr, and nothing else of the build tree (tests,
    // benchmarks) nor anything outside /usr. The program runs; launcher_test runs the launcher itself.
    const fs::path root = dir.path / "root";
    ASSERT_EQ(run({"dpkg-deb", "-x", deb.string(), root.string()}).status, 0);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string path = entry.path().lexically_relative(root).string();
        EXPECT_TRUE(path == "usr" || path.starts_with("usr/")) << path;
        EXPECT_EQ(path.find("test"), std::string::npos) << path;
        EXPECT_EQ(path.find("bench"), std::string::npos) << path;
    }
    const fs::path share = root / "usr/share";
    for (const char* file : {"applications/com.quorvex.Lunaveil.desktop", "metainfo/com.quorvex.Lunaveil.metainfo.xml",
                             "icons/hicolor/scalable/apps/com.quorvex.Lunaveil.svg", "man/man1/lunaveil.1.gz",
                             "doc/lunaveil/copyright", "doc/lunaveil/changelog.gz"})
        EXPECT_TRUE(fs::exists(share / file)) << file;
    const fs::path program = root / "usr/bin/lunaveil";
    const fs::path launcher = root / "usr/libexec/lunaveil/lunaveil-launcher";
    EXPECT_EQ(::access(launcher.c_str(), X_OK), 0);
    const Result version = run({program.string(), "--version"});
    EXPECT_EQ(version.status, 0) << version.output;
    EXPECT_EQ(version.output, "lunaveil " LUNAVEIL_VERSION "\n");

    // Hardened as distributions ship programs (PIE, stack protector, fortified calls, full RELRO),
    // and a package that lintian finds no error in. Control-flow protection is left out: Debian 12's
    // own start files lack it, so no program built there has it.
    const Result hardening = run({"hardening-check", "--nocfprotection", program.string(), launcher.string()});
    EXPECT_EQ(hardening.status, 0) << hardening.output;
    const Result lintian = run({"lintian", "--fail-on", "error", "--no-tag-display-limit", deb.string()});
    EXPECT_EQ(lintian.status, 0) << lintian.output;

    // The desktop files pass their validators.
    for (const char* tool : {"desktop-file-validate", "appstreamcli"})
        if (!present(tool))
            GTEST_SKIP() << tool << " is not installed";
    const Result entry = run({"desktop-file-validate", (share / "applications/com.quorvex.Lunaveil.desktop").string()});
    EXPECT_EQ(entry.status, 0) << entry.output;
    EXPECT_EQ(entry.output, "");
    const Result metainfo =
        run({"appstreamcli", "validate", "--no-net", (share / "metainfo/com.quorvex.Lunaveil.metainfo.xml").string()});
    EXPECT_EQ(metainfo.status, 0) << metainfo.output;
}

}  // namespace
