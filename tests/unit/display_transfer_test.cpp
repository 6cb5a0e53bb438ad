// DisplayTransfer over a fake display: who gets changed, what is kept, and how it is undone.

#include "effects/DisplayTransfer.h"
#include "fakes/FakeDisplayGamma.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace lunaveil;

namespace {

class DisplayTransferTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = testing::TempDir() + "display-transfer-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        journalFile = dir / "lunaveil" / "gamma-0.journal";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    GammaJournal journal() const { return GammaJournal(journalFile); }

    // What the hub's True Colors and invert paths do: one call per online display.
    static void applyFormula(DisplayTransfer& transfer, const TransferFormula& formula)
    {
        for (const CrtcId crtc : transfer.getOnlineDisplayList())
            transfer.setTransferByFormula(crtc, formula);
    }
    static void invert(DisplayTransfer& transfer)
    {
        for (const CrtcId crtc : transfer.getOnlineDisplayList())
            transfer.setTransferByTable(crtc, invertedTable, invertedTable, invertedTable);
    }

    static GammaRamp inverted(std::size_t size)
    {
        return rampFromTable(size, invertedTable, invertedTable, invertedTable);
    }

    std::filesystem::path dir;
    std::filesystem::path journalFile;
    FakeDisplayGamma gamma;
    const TransferFormula orange = *trueColorFormula(Colour::orangeColor(), 25);
};

}  // namespace

TEST_F(DisplayTransferTest, OnlineListIsTheFirstSixteenCrtcs)
{
    for (CrtcId crtc = 100; crtc < 117; ++crtc)
        gamma.addCrtc(crtc);
    DisplayTransfer transfer(gamma, journal());
    const std::vector<CrtcId> online = transfer.getOnlineDisplayList();
    EXPECT_EQ(online, std::vector<CrtcId>(gamma.online.begin(), gamma.online.begin() + 16));

    applyFormula(transfer, orange);
    EXPECT_EQ(gamma.sets.size(), 16u);
    EXPECT_EQ(gamma.ramps[116], FakeDisplayGamma::calibration(116, 256));
}

TEST_F(DisplayTransferTest, EachCrtcGetsTheCurveAtItsOwnRampSize)
{
    gamma.addCrtc(1, 256);
    gamma.addCrtc(2, 1024);
    DisplayTransfer transfer(gamma, journal());
    applyFormula(transfer, orange);
    EXPECT_EQ(gamma.ramps[1], rampFromFormula(256, orange));
    EXPECT_EQ(gamma.ramps[2], rampFromFormula(1024, orange));
    invert(transfer);
    EXPECT_EQ(gamma.ramps[1], inverted(256));
    EXPECT_EQ(gamma.ramps[2], inverted(1024));
}

TEST_F(DisplayTransferTest, OriginalIsJournalledBeforeTheFirstSet)
{
    gamma.addCrtc(1);
    gamma.addCrtc(2);
    std::vector<std::map<CrtcId, GammaRamp>> journalAtSet;
    gamma.beforeSet = [&](CrtcId) { journalAtSet.push_back(journal().load()); };

    DisplayTransfer transfer(gamma, journal());
    applyFormula(transfer, orange);
    ASSERT_EQ(journalAtSet.size(), 2u);
    EXPECT_EQ(journalAtSet[0], (std::map<CrtcId, GammaRamp>{{1, FakeDisplayGamma::calibration(1, 256)}}));
    EXPECT_EQ(journalAtSet[1].at(2), FakeDisplayGamma::calibration(2, 256));

    // Later changes keep the first original, not the tinted ramp.
    invert(transfer);
    EXPECT_EQ(journal().load().at(1), FakeDisplayGamma::calibration(1, 256));
}

TEST_F(DisplayTransferTest, RestoreGivesBackExactOriginalsAndRemovesTheJournal)
{
    gamma.addCrtc(1, 256);
    gamma.addCrtc(2, 1024);
    const auto originals = gamma.ramps;
    DisplayTransfer transfer(gamma, journal());
    transfer.restoreColorSyncSettings();  // nothing kept yet: harmless
    EXPECT_TRUE(gamma.sets.empty());

    applyFormula(transfer, orange);
    invert(transfer);
    EXPECT_TRUE(journal().exists());
    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.ramps, originals);
    EXPECT_FALSE(journal().exists());

    // Forgotten: a second restore sets nothing, and the next change keeps the ramp it finds then.
    const std::size_t setsAfterRestore = gamma.sets.size();
    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.sets.size(), setsAfterRestore);
    gamma.ramps[1] = inverted(256);  // another program's calibration
    applyFormula(transfer, orange);
    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.ramps[1], inverted(256));
}

TEST_F(DisplayTransferTest, RefusingCrtcsDoNotStopTheOthers)
{
    gamma.addCrtc(1);
    gamma.addCrtc(2);
    gamma.addCrtc(3);
    gamma.refusing.insert(1);
    gamma.unreadable.insert(2);
    DisplayTransfer transfer(gamma, journal());
    applyFormula(transfer, orange);
    applyFormula(transfer, orange);
    EXPECT_EQ(gamma.ramps[1], FakeDisplayGamma::calibration(1, 256));
    EXPECT_EQ(gamma.ramps[2], FakeDisplayGamma::calibration(2, 256));
    EXPECT_EQ(gamma.ramps[3], rampFromFormula(256, orange));

    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.ramps[3], FakeDisplayGamma::calibration(3, 256));
}

TEST_F(DisplayTransferTest, UnchangedRampIsNotRewrittenButAForeignChangeIsUndone)
{
    gamma.addCrtc(1);
    DisplayTransfer transfer(gamma, journal());
    applyFormula(transfer, orange);
    applyFormula(transfer, orange);
    EXPECT_EQ(gamma.sets.size(), 1u);

    gamma.ramps[1] = inverted(256);  // another program stepped in
    applyFormula(transfer, orange);
    EXPECT_EQ(gamma.sets.size(), 2u);
    EXPECT_EQ(gamma.ramps[1], rampFromFormula(256, orange));

    transfer.restoreColorSyncSettings();
    EXPECT_EQ(gamma.ramps[1], FakeDisplayGamma::calibration(1, 256));
}

TEST_F(DisplayTransferTest, PluggedInCrtcGetsTheTransferInForce)
{
    gamma.addCrtc(1);
    DisplayTransfer transfer(gamma, journal());
    gamma.plugIn(2);  // nothing in force yet
    EXPECT_TRUE(gamma.sets.empty());

    invert(transfer);
    gamma.plugIn(3, 1024);
    EXPECT_EQ(gamma.ramps[3], inverted(1024));
    EXPECT_EQ(journal().load().at(3), FakeDisplayGamma::calibration(3, 1024));

    transfer.restoreColorSyncSettings();
    for (const CrtcId crtc : {1u, 2u, 3u})
        EXPECT_EQ(gamma.ramps[crtc], FakeDisplayGamma::calibration(crtc, crtc == 3 ? 1024 : 256));

    const std::size_t setsAfterRestore = gamma.sets.size();
    gamma.plugIn(4);  // restored: nothing in force any more
    EXPECT_EQ(gamma.sets.size(), setsAfterRestore);
}

TEST_F(DisplayTransferTest, JournalSurvivesACrash)
{
    gamma.addCrtc(1, 256);
    gamma.addCrtc(2, 1024);
    gamma.addCrtc(3, 256);
    const auto originals = gamma.ramps;
    {
        DisplayTransfer dying(gamma, journal());
        applyFormula(dying, orange);
    }  // gone without a restore, as in a crash
    EXPECT_EQ(gamma.ramps[1], rampFromFormula(256, orange));
    EXPECT_FALSE(gamma.onCrtcsChanged);

    gamma.ramps[3] = FakeDisplayGamma::calibration(3, 512);  // reconfigured meanwhile: left alone
    DisplayTransfer next(gamma, journal());
    EXPECT_TRUE(next.restoreFromJournal());
    EXPECT_EQ(gamma.ramps[1], originals.at(1));
    EXPECT_EQ(gamma.ramps[2], originals.at(2));
    EXPECT_EQ(gamma.ramps[3], FakeDisplayGamma::calibration(3, 512));
    EXPECT_FALSE(journal().exists());
    EXPECT_FALSE(next.restoreFromJournal());
}

TEST_F(DisplayTransferTest, DamagedJournalRestoresNothingAndIsRemoved)
{
    gamma.addCrtc(1);
    std::filesystem::create_directories(journalFile.parent_path());
    std::ofstream(journalFile) << "LVGJ not really a journal";
    DisplayTransfer transfer(gamma, journal());
    EXPECT_FALSE(transfer.restoreFromJournal());
    EXPECT_TRUE(gamma.sets.empty());
    EXPECT_FALSE(journal().exists());
}
