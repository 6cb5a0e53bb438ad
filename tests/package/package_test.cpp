// The Debian package as cpack builds it from this build tree: its control data, its files, and
// the programs it installs, run from an unpacked copy. One test, as building the package is the slow part.
// The tools it runs come with scripts/setup, which scripts/test runs first.

#include "support/TextFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The exit status (-1 when it did not end by itself) and the output, standard error included.
std::pair<int, std::string> run(const std::vector<std::string>& command)
{
    std::string line;
    for (const std::string& word : command)
        line += lunaveil::test::shellQuoted(word) + " ";
    FILE* pipe = ::popen((line + "2>&1").c_str(), "r");
    if (pipe == nullptr)
        return {-1, {}};
    std::string output;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        output += static_cast<char>(c);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(Package, HoldsLunaveilUnderUsrWithItsLibrariesAsDependenciesAndValidFiles)
{
    // In the build tree, emptied first: a package of an earlier run would be taken for this one's.
    const fs::path dir = LUNAVEIL_PACKAGE_DIR;
    fs::remove_all(dir);
    const auto [built, cpackOutput] = run({LUNAVEIL_CPACK, "--config", LUNAVEIL_CPACK_CONFIG, "-G", "DEB", "-B", dir.string()});
    ASSERT_EQ(built, 0) << cpackOutput;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".deb")
            deb = entry.path();
    ASSERT_FALSE(deb.empty()) << cpackOutput;

    // The dependencies worked out by dpkg-shlibdeps from the programs' libraries.
    const auto [read, info] = run({"dpkg-deb", "-I", deb.string()});
    ASSERT_EQ(read, 0) << info;
    for (const char* field : {"Package: lunaveil\n", "Version: " LUNAVEIL_VERSION "\n", "libc6", "libqt6widgets6", "libxcb-randr0"})
        EXPECT_NE(info.find(field), std::string::npos) << field << " missing from\n" << info;

    // Unpacked: the programs and their files under /usr, and nothing else of the build tree (tests,
    // benchmarks) nor anything outside /usr. The program runs; launcher_test runs the launcher itself.
    const fs::path root = dir / "root";
    ASSERT_EQ(run({"dpkg-deb", "-x", deb.string(), root.string()}).first, 0);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string path = entry.path().lexically_relative(root).string();
        EXPECT_TRUE(path == "usr" || path.starts_with("usr/")) << path;
        EXPECT_EQ(path.find("test"), std::string::npos) << path;
        EXPECT_EQ(path.find("bench"), std::string::npos) << path;
    }
    const fs::path share = root / "usr/share";
    // The desktop files are validated below, the copyright and changelog are lintian's.
    for (const char* file : {"icons/hicolor/scalable/apps/com.quorvex.Lunaveil.svg", "man/man1/lunaveil.1.gz"})
        EXPECT_TRUE(fs::exists(share / file)) << file;
    const fs::path program = root / "usr/bin/lunaveil", launcher = root / "usr/libexec/lunaveil/lunaveil-launcher";
    EXPECT_EQ(::access(launcher.c_str(), X_OK), 0);
    EXPECT_EQ(run({program.string(), "--version"}).second, "lunaveil " LUNAVEIL_VERSION "\n");

    // Hardened as distributions ship programs (PIE, stack protector, fortified calls, full RELRO),
    // a package that lintian finds no error in, and desktop files their validators pass. Control-flow
    // protection is left out: Debian 12's own start files lack it, so no program built there has it.
    const std::vector<std::string> checks[] = {
        {"hardening-check", "--nocfprotection", program.string(), launcher.string()},
        {"lintian", "--fail-on", "error", "--no-tag-display-limit", deb.string()},
        {"desktop-file-validate", (share / "applications/com.quorvex.Lunaveil.desktop").string()},
        {"appstreamcli", "validate", "--no-net", (share / "metainfo/com.quorvex.Lunaveil.metainfo.xml").string()}};
    for (const auto& check : checks) {
        const auto [status, output] = run(check);
        EXPECT_EQ(status, 0) << check.front() << ": " << output;
    }
}

}  // namespace
