// DisplayTransfer over X11's gamma on a fake server: who gets changed, what is kept, and how it is
// undone; the crash journal of original ramps, and the runtime folder it is kept in.

#include "effects/DisplayTransfer.h"
#include "support/FakeCrtcGamma.h"
#include "support/TextFiles.h"
#include "platform/x11/X11DisplayGamma.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace lunaveil;

namespace {

// Two displays of different ramp sizes; tests add more.
struct DisplayTransferTest : testing::Test {
    GammaJournal journal() const { return GammaJournal(folder, "0"); }

    // What True Colors does: one call per online display.
    static void applyOrange(DisplayTransfer& to)
    {
        for (const CrtcId crtc : to.getOnlineDisplayList())
            to.setTransferByFormula(crtc, orange);
    }
    static GammaRamp inverted(std::size_t size)
    {
        return rampFromTable(size, invertedTable, invertedTable, invertedTable);
    }
    static GammaRamp calibration(CrtcId crtc) { return FakeCrtcGamma::calibration(crtc, crtc == 2 ? 1024 : 256); }

    QTemporaryDir dir;
    const std::shared_ptr<const RuntimeFolder> folder =
        std::make_shared<const RuntimeFolder>(RuntimeFolder::open(dir.path().toStdString(), false));
    FakeCrtcGamma gamma{{1, 256}, {2, 1024}};
    X11DisplayGamma x11{gamma, journal()};
    DisplayTransfer transfer{x11};
    static inline const TransferFormula orange = *trueColorFormula(Colour::orangeColor(), 25);
};

// The original is journalled before a display's first set, and later changes keep it; a restore
// gives back the exact originals, forgets them and drops the journal. The next run's restore after
// a crash, and of a damaged journal, is the end-to-end tests' (kill, then --reset or a start).
TEST_F(DisplayTransferTest, EachCrtcTakesTheCurveAtItsOwnSizeAndARestoreGivesBackExactOriginalsOnce)
{
    const auto originals = gamma.ramps;
    transfer.restoreColorSyncSettings();  // nothing kept yet: harmless
    EXPECT_EQ(gamma.sets, 0);

    std::vector<std::map<CrtcId, GammaRamp>> journalAtSet;
    gamma.beforeSet = [&](CrtcId) { journalAtSet.push_back(journal().load().ramps); };
    applyOrange(transfer);
    ASSERT_EQ(journalAtSet.size(), 2u);
    EXPECT_EQ(journalAtSet[0], (std::map<CrtcId, GammaRamp>{{1, calibration(1)}}));
    EXPECT_EQ(journalAtSet[1], originals);
    EXPECT_EQ(gamma.ramps[1], rampFromFormula(256, orange));
    EXPECT_EQ(gamma.ramps[2], rampFromFormula(1024, orange));
    transfer.setTransferByTable(2, invertedTable, invertedTable, invertedTable);
    EXPECT_EQ(gamma.ramps[2], inverted(1024));
    EXPECT_EQ(journal().load().ramps, originals) << "later changes keep the first original";
    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.ramps, originals);
    EXPECT_FALSE(journal().exists());

    // Forgotten: a second restore sets nothing, and the next change keeps the ramp it finds then.
    const int setsAfterRestore = gamma.sets;
    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.sets, setsAfterRestore);
    gamma.ramps[1] = inverted(256);  // another program's calibration
    applyOrange(transfer);
    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.ramps[1], inverted(256));
}

TEST_F(DisplayTransferTest, RefusingCrtcsDoNotStopTheOthersAndForeignChangesAreUndone)
{
    gamma.addCrtc(3);
    gamma.refusing.insert(1);
    gamma.unreadable.insert(2);
    applyOrange(transfer);
    applyOrange(transfer);
    EXPECT_TRUE(gamma.ramps[1] == calibration(1) && gamma.ramps[2] == calibration(2));
    EXPECT_EQ(gamma.ramps[3], rampFromFormula(256, orange));
    EXPECT_EQ(gamma.sets, 1) << "an unchanged ramp is not set again";

    gamma.ramps[3] = inverted(256);  // another program stepped in
    applyOrange(transfer);
    EXPECT_EQ(gamma.ramps[3], rampFromFormula(256, orange));
    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.ramps[3], calibration(3)) << "the original, not the foreign ramp";
}

// --- The journal itself, and the runtime folder it lives in ----------------------------------------

// The journal's own round trip is the transfer test's; here its modes, and that a corrupted file
// does not load.
TEST(GammaJournal, IsPrivateAndNothingDamagedLoads)
{
    const QTemporaryDir dir;
    const auto folder = std::make_shared<const RuntimeFolder>(RuntimeFolder::open(dir.path().toStdString() + "/nested", true));
    const std::filesystem::path file = folder->path() / "gamma-0.journal";
    GammaJournal journal{folder, "0"};
    EXPECT_EQ(journal.load().state, GammaJournal::Contents::State::Absent);
    ASSERT_TRUE(journal.save("m", {{1, FakeCrtcGamma::calibration(1, 4)}, {2, FakeCrtcGamma::calibration(2, 4)}}));
    EXPECT_EQ(journal.load().ramps.size(), 2u);
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(file).permissions(), perms::owner_read | perms::owner_write);
    EXPECT_EQ(std::filesystem::status(file.parent_path()).permissions(), perms::owner_all);
    std::string flipped = test::readFile(file);
    flipped[flipped.size() / 2] ^= 0x10;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << flipped;
    EXPECT_TRUE(journal.load().ramps.empty()) << "a flipped bit loaded";

    journal.remove();
    journal.remove();  // absent: harmless
    EXPECT_FALSE(journal.exists());
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
