// Lunaveil's True Colors on GNOME, against a DisplayConfig of the tests' own on a private session
// bus: the formula reaches every CRTC in use at its own size, a table Mutter writes over it is put
// right within a second, new monitors are followed, and every way out gives the calibration back,
// after a kill through `--reset`. A DisplayConfig that only answers with errors is no display
// gamma at all.

#include "effects/TransferFormula.h"
#include "support/FakeServer.h"
#include "support/LunaveilProcess.h"
#include "support/PrivateBus.h"
#include "support/SpinEventLoop.h"

#include <gtest/gtest.h>

#include <csignal>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::LunaveilProcess;

// Each CRTC's calibration in the fake: a straight line to 60000.
const std::string calibrated7 = "set 7 0 60000 0 60000 0 60000";
const std::string calibrated9 = "set 9 0 60000 0 60000 0 60000";

class LunaveilOnGnome : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(bus_.address().isEmpty()) << "no private session bus";
        // Mutter's own Wayland display: one that answers, and offers none of wlroots' protocols in use.
        ASSERT_TRUE(compositor_.running()) << "the fake compositor did not start";
    }

    std::unique_ptr<LunaveilProcess> lunaveil() const
    {
        auto process = std::make_unique<LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), "");
        process->storeTint(true, Colour::orangeColor(), 25, true);
        process->setSessionBus(bus_.address());
        process->setVariable(QStringLiteral("DISPLAY"), {});
        process->setVariable(QStringLiteral("WAYLAND_DISPLAY"), compositor_.socket());
        process->setVariable(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
        process->setVariable(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->captureErrors();
        return process;
    }

    test::PrivateBus bus_;
    test::FakeGammaCompositor compositor_{QStringList()};
};

TEST_F(LunaveilOnGnome, TrueColorsHoldsAgainstMutterFollowsNewMonitorsAndEveryEndGivesTheCalibrationBack)
{
    const TransferFormula orange = *trueColorFormula(Colour::orangeColor(), 25);
    const std::string orange7 = FakeServer::tableLine("7", rampFromFormula(256, orange));
    const std::string orange9 = FakeServer::tableLine("9", rampFromFormula(1024, orange));
    for (const int ending : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(ending == SIGTERM ? "SIGTERM" : "SIGKILL, then --reset");
        test::FakeDisplayConfig mutter({QStringLiteral("7:256"), QStringLiteral("9:1024"), QStringLiteral("11:0")},
                                       bus_.address());
        ASSERT_TRUE(mutter.running()) << "the fake DisplayConfig did not start";
        const auto process = lunaveil();
        ASSERT_TRUE(process->start({QStringLiteral("-psn_0_0")}));
        EXPECT_TRUE(mutter.saw(orange7) && mutter.saw(orange9)) << mutter.said();
        EXPECT_EQ(mutter.occurrences("set 11"), 0) << "a CRTC that drives no monitor got a table";
        QString errors = process->errors();
        EXPECT_TRUE(errors.contains(QStringLiteral("display platform Wayland (GNOME)"))) << errors.toStdString();

        mutter.tell("night 7");  // Mutter's Night Light writes over the tint...
        EXPECT_TRUE(test::spinUntil([&] { return mutter.occurrences(orange7) == 2; }, 3s)) << "...which came not back";
        mutter.tell("monitors");
        mutter.tell("night 9");  // ...also after the monitors changed
        EXPECT_TRUE(test::spinUntil([&] { return mutter.occurrences(orange9) == 2; }, 3s)) << mutter.said();
        test::spinUntil([] { return false; }, 1500ms);
        EXPECT_EQ(mutter.occurrences(orange7), 2) << "a table Mutter holds was sent again";

        process->send(ending);
        process->waitForExit();
        if (ending == SIGKILL) {
            EXPECT_EQ(mutter.occurrences(calibrated7), 0);
            QString reset;
            EXPECT_EQ(process->runOnce({QStringLiteral("--reset")}, &reset), 0) << reset.toStdString();
        }
        EXPECT_TRUE(mutter.saw(calibrated7) && mutter.saw(calibrated9)) << mutter.said();
    }

    // A DisplayConfig that answers every call with an error offers no gamma: nothing is set, and
    // Lunaveil runs on.
    test::FakeDisplayConfig broken({QStringLiteral("7:256")}, bus_.address());
    ASSERT_TRUE(broken.running());
    broken.tell("errors");
    test::spinUntil([] { return false; }, 200ms);
    const auto process = lunaveil();
    ASSERT_TRUE(process->start({QStringLiteral("-psn_0_0")}));
    test::spinUntil([] { return false; }, 2s);
    const QString errors = process->errors();
    EXPECT_TRUE(errors.contains(QStringLiteral("no display gamma here"))) << errors.toStdString();
    EXPECT_EQ(broken.occurrences("set 7"), 0);
    EXPECT_EQ(process->endWith(SIGTERM), 0);
}

}  // namespace
}  // namespace lunaveil
