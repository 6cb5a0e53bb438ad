// Lunaveil itself on a real X server: True Colors on every monitor, and the displays given back
// on every way out — quit signals, and a crash followed by --reset or by the next start.

#include "effects/DisplayTransfer.h"
#include "effects/ScreenControlService.h"
#include "effects/TransferFormula.h"
#include "platform/X11DisplayGamma.h"
#include "settings/SettingsDataAccess.h"
#include "support/Calibration.h"
#include "support/LunaveilProcess.h"
#include "support/SpinEventLoop.h"
#include "support/XServer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <map>

namespace lunaveil {
namespace {

using test::spinUntil;
using test::XServer;
using namespace std::chrono_literals;

class LunaveilOnX : public testing::Test {
protected:
    void SetUp() override
    {
        server_ = std::make_unique<XServer>(2);
        LUNAVEIL_REQUIRE_X_SERVER(*server_);
        gamma_ = X11DisplayGamma::create(server_->displayName().c_str());
        ASSERT_NE(gamma_, nullptr);
        for (const CrtcId crtc : gamma_->crtcs()) {
            ASSERT_TRUE(gamma_->setRamp(crtc, test::calibration(gamma_->getRamp(crtc)->size())));
            originals_[crtc] = *gamma_->getRamp(crtc);
        }
        ASSERT_EQ(originals_.size(), 2u);
        lunaveil_ = std::make_unique<test::LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), server_->displayName());
    }
    // The stored settings Lunaveil starts with: greeted already, True Colors with this colour,
    // and a schedule that holds the present minute (the tint comes on at the first tick) or not.
    void storeSettings(const Colour& colour, double alpha, bool scheduleNow)
    {
        SettingsDataAccess settings = lunaveil_->settings();
        settings.setFirstTimeOpened(true);
        settings.setTrueColor(true);
        settings.setBackgroundTrueColor(colour);
        settings.setBackgroundAlpha(alpha);
        const TimePoint now = systemNow();
        settings.setScheduleIsActive(scheduleNow, now - 1h, now + 1h);
    }
    void startLunaveil() { ASSERT_TRUE(lunaveil_->start()); }
    int runLunaveil(const QStringList& arguments) { return lunaveil_->runOnce(arguments); }
    int endWith(int signal) { return lunaveil_->endWith(signal); }

    bool showsFormula(CrtcId crtc, const Colour& colour, double alpha)
    {
        const auto ramp = gamma_->getRamp(crtc);
        return ramp && *ramp == rampFromFormula(ramp->size(), *trueColorFormula(colour, alpha));
    }
    bool everyDisplayShowsFormula(const Colour& colour, double alpha)
    {
        const auto crtcs = gamma_->crtcs();
        return std::all_of(crtcs.begin(), crtcs.end(), [&](CrtcId c) { return showsFormula(c, colour, alpha); });
    }
    bool everyDisplayRestored()
    {
        return std::all_of(originals_.begin(), originals_.end(),
                           [&](const auto& entry) { return gamma_->getRamp(entry.first) == entry.second; });
    }
    bool waitFor(const std::function<bool()>& condition) { return spinUntil(condition, 10s); }

    std::unique_ptr<XServer> server_;
    std::unique_ptr<X11DisplayGamma> gamma_;
    std::map<CrtcId, GammaRamp> originals_;
    std::unique_ptr<test::LunaveilProcess> lunaveil_;
};

TEST_F(LunaveilOnX, TrueColorsTintsEveryMonitorAndEachQuitSignalGivesThemBack)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        storeSettings(Colour::orangeColor(), 25, true);
        startLunaveil();
        ASSERT_TRUE(waitFor([&] { return everyDisplayShowsFormula(Colour::orangeColor(), 25); }));
        EXPECT_EQ(endWith(signal), 0);
        EXPECT_TRUE(everyDisplayRestored());
    }
}

TEST_F(LunaveilOnX, AnotherProgramsChangeIsUndoneAndANewMonitorIsTinted)
{
    storeSettings(Colour::redColor(), 60, true);
    startLunaveil();
    ASSERT_TRUE(waitFor([&] { return everyDisplayShowsFormula(Colour::redColor(), 60); }));

    const CrtcId first = originals_.begin()->first;
    ASSERT_TRUE(gamma_->setRamp(first, originals_.begin()->second));
    EXPECT_TRUE(waitFor([&] { return showsFormula(first, Colour::redColor(), 60); }));

    ASSERT_TRUE(server_->enableMonitor(2));
    EXPECT_TRUE(waitFor([&] { return gamma_->crtcs().size() == 3 && everyDisplayShowsFormula(Colour::redColor(), 60); }));
    EXPECT_EQ(endWith(SIGTERM), 0);
    EXPECT_TRUE(everyDisplayRestored());
}

TEST_F(LunaveilOnX, AfterACrashResetAndTheNextStartGiveTheDisplaysBack)
{
    storeSettings(Colour::blueColor(), 40, true);
    startLunaveil();
    ASSERT_TRUE(waitFor([&] { return everyDisplayShowsFormula(Colour::blueColor(), 40); }));
    endWith(SIGKILL);
    ASSERT_TRUE(everyDisplayShowsFormula(Colour::blueColor(), 40)) << "gamma outlives a killed process";

    EXPECT_EQ(runLunaveil({QStringLiteral("--reset")}), 0);
    EXPECT_TRUE(everyDisplayRestored());
    EXPECT_EQ(runLunaveil({QStringLiteral("--reset")}), 0) << "nothing left to restore is no error";

    startLunaveil();
    ASSERT_TRUE(waitFor([&] { return everyDisplayShowsFormula(Colour::blueColor(), 40); }));
    endWith(SIGKILL);
    storeSettings(Colour::blueColor(), 40, false);  // no tint at the next start
    startLunaveil();
    EXPECT_TRUE(waitFor([&] { return everyDisplayRestored(); })) << "the next start restores what the crash left";
    EXPECT_EQ(endWith(SIGTERM), 0);
}

TEST_F(LunaveilOnX, InvertThenStraightThenRestore)
{
    QTemporaryDir runtime;
    DisplayTransfer transfer(*gamma_, GammaJournal(runtime.path().toStdString() + "/journal"));
    ScreenControlService(&transfer).setContrast(true);
    for (const auto& [crtc, original] : originals_)
        EXPECT_EQ(gamma_->getRamp(crtc), rampFromTable(original.size(), invertedTable, invertedTable, invertedTable));
    ScreenControlService(&transfer).setContrast(false);
    for (const auto& [crtc, original] : originals_)
        EXPECT_EQ(gamma_->getRamp(crtc), rampFromTable(original.size(), straightTable, straightTable, straightTable));
    transfer.restoreColorSyncSettings();
    EXPECT_TRUE(everyDisplayRestored());
}

}  // namespace
}  // namespace lunaveil
