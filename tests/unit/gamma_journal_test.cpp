// The crash journal of original gamma ramps: round trip, and damaged or hostile files.

#include "support/FakeCrtcGamma.h"
#include "platform/x11/GammaJournal.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace lunaveil;

namespace {

class GammaJournalTest : public testing::Test {
protected:
    void write(std::string_view bytes)
    {
        std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    }

    QTemporaryDir dir;
    const std::shared_ptr<const RuntimeFolder> folder = std::make_shared<const RuntimeFolder>(
        RuntimeFolder::open(dir.path().toStdString() + "/nested", true));
    const std::filesystem::path file = folder->path() / "gamma-0.journal";
    GammaJournal journal{folder, "0"};
};

TEST_F(GammaJournalTest, SavedRampsLoadBackExactlyWithPrivateModes)
{
    EXPECT_FALSE(journal.exists());
    EXPECT_EQ(journal.load().state, GammaJournal::Contents::State::Absent);
    const std::map<CrtcId, GammaRamp> ramps{{63, FakeCrtcGamma::calibration(63, 256)},
                                            {64, FakeCrtcGamma::calibration(64, 1024)}};
    ASSERT_TRUE(journal.save("server", ramps));
    EXPECT_EQ(GammaJournal(folder, "0").load().ramps, ramps);
    EXPECT_EQ(GammaJournal(folder, "0").load().serverMark, "server");
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(file).permissions(), perms::owner_read | perms::owner_write);
    EXPECT_EQ(std::filesystem::status(file.parent_path()).permissions(), perms::owner_all);

    journal.remove();
    EXPECT_FALSE(journal.exists());
    journal.remove();  // absent: harmless

    GammaRamp ragged = FakeCrtcGamma::calibration(1, 8);
    ragged.blue.pop_back();
    EXPECT_FALSE(journal.save("server", {{1, ragged}})) << "nothing is saved that could not be loaded";
    EXPECT_FALSE(journal.save("server", {{1, GammaRamp{}}}));
    EXPECT_FALSE(journal.save("", {{1, FakeCrtcGamma::calibration(1, 8)}})) << "no server it belongs to";
    EXPECT_FALSE(journal.exists());
}

TEST_F(GammaJournalTest, TruncatedCorruptedOrHostileFilesLoadNothing)
{
    ASSERT_TRUE(journal.save("m", {{1, FakeCrtcGamma::calibration(1, 4)}, {2, FakeCrtcGamma::calibration(2, 4)}}));
    std::ifstream in(file, std::ios::binary);
    const std::string good{std::istreambuf_iterator<char>(in), {}};
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string flipped = good;
        flipped[i] = static_cast<char>(flipped[i] ^ 0x10);
        for (const std::string& bad : {good.substr(0, i), flipped}) {
            write(bad);
            EXPECT_TRUE(journal.load().ramps.empty()) << "truncated or flipped at byte " << i;
        }
    }
    write(good + "x");
    EXPECT_TRUE(journal.load().ramps.empty()) << "one byte too many";

    // Refused and left alone: a huge sparse file (unread), a FIFO (without blocking), a link, another's file.
    using State = GammaJournal::Contents::State;
    std::filesystem::resize_file(file, std::uintmax_t{1} << 32);
    EXPECT_EQ(journal.load().state, State::Refused);
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(journal.load().state, State::Refused);
    EXPECT_TRUE(journal.exists());
    std::filesystem::remove(file);
    const std::filesystem::path victim = dir.path().toStdString() + "/victim";
    std::ofstream(victim) << "the user's own file";
    std::filesystem::create_symlink(victim, file);
    EXPECT_EQ(journal.load().state, State::Refused);
    ASSERT_TRUE(journal.save("m", {{1, FakeCrtcGamma::calibration(1, 4)}}));
    EXPECT_FALSE(std::filesystem::is_symlink(file)) << "the link is replaced, its target untouched";
    EXPECT_EQ(std::filesystem::file_size(victim), 19u);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 4242, 4242), 0);
        EXPECT_EQ(journal.load().state, State::Refused);
    }
}

// The runtime folder: $XDG_RUNTIME_DIR, else the named one in the temporary folder, else a
// private one, each only when it is a folder of ours that nobody else can enter.
TEST(RuntimeFolder, IsUsedOnlyWhenItIsOursAndPrivate)
{
    namespace fs = std::filesystem;
    enum Made { Absent, Ours, Another, Link, OpenToGroup, OpenToAll };
    const auto make = [](const fs::path& path, Made made) {
        const fs::path folder = made == Link ? fs::path(path.string() + ".real") : path;
        const mode_t mode = made == OpenToAll ? 0755 : made == OpenToGroup ? 0750 : 0700;
        if (made != Absent && (::mkdir(folder.c_str(), mode) != 0 || ::chmod(folder.c_str(), mode) != 0))
            return false;
        if (made == Link)
            fs::create_directory_symlink(folder, path);
        return made != Another || ::chown(path.c_str(), 4242, 4242) == 0;
    };
    using Kind = RuntimeFolder::Kind;
    const struct {
        Made session, named;
        Kind kind;
        const char* chosen;  // the folder used, or the start of its name
    } cases[] = {
        {Ours, Absent, Kind::Named, "xdg"},
        {Another, Absent, Kind::Named, "tmp/lunaveil-runtime-"},
        {Link, Absent, Kind::Named, "tmp/lunaveil-runtime-"},
        {OpenToGroup, Ours, Kind::Named, "tmp/lunaveil-runtime-"},
        {Absent, Another, Kind::Private, "tmp/lunaveil-runtime-"},
        {OpenToAll, Link, Kind::Private, "tmp/lunaveil-runtime-"},
        {Absent, OpenToAll, Kind::Private, "tmp/lunaveil-runtime-"},
    };
    const QTemporaryDir dir;
    int number = 0;
    for (const auto& each : cases) {
        SCOPED_TRACE(number);
        const fs::path base = dir.path().toStdString() + "/" + std::to_string(number++);
        fs::create_directories(base / "tmp");
        if (!make(base / "xdg", each.session)
            || !make(base / "tmp" / ("lunaveil-runtime-" + std::to_string(::geteuid())), each.named)) {
            EXPECT_NE(::geteuid(), 0u) << "only root can give a folder to another user";
            continue;
        }
        ::setenv("XDG_RUNTIME_DIR", (base / "xdg").c_str(), 1);
        fs::path chosen;
        {
            const RuntimeFolder folder = RuntimeFolder::forSession(base / "tmp");
            EXPECT_EQ(folder.kind(), each.kind);
            chosen = folder.path();
            EXPECT_TRUE(chosen.string().starts_with((base / each.chosen).string())) << chosen;
            EXPECT_EQ(folder.problem().empty(), number == 1) << folder.problem();
            EXPECT_TRUE(folder.replaceFile("file", "x"));
        }
        EXPECT_EQ(fs::exists(chosen), each.kind == Kind::Named) << "a private folder goes with its run";
    }
    const RuntimeFolder none = RuntimeFolder::forSession(dir.path().toStdString() + "/absent");
    EXPECT_FALSE(none.usable() || none.problem().empty());
    ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
