// Lunaveil's True Colors on a wlroots compositor, against a Wayland server of the tests' own
// whose outputs take gamma tables: the formula reaches each output at its own ramp size, an
// output that refuses is left out, and however Lunaveil ends, the compositor gives every output
// its own table back; a compositor that goes away ends Lunaveil with a word on why.

#include "effects/TransferFormula.h"
#include "support/FakeServer.h"
#include "support/LunaveilProcess.h"
#include "support/SpinEventLoop.h"

#include <gtest/gtest.h>

#include <csignal>

namespace lunaveil {
namespace {

using test::FakeGammaCompositor;
using test::FakeServer;
using test::LunaveilProcess;

TEST(LunaveilOnWlroots, TrueColorsReachesEveryOutputThatTakesGammaAndEveryEndGivesTheTablesBack)
{
    const TransferFormula orange = *trueColorFormula(Colour::orangeColor(), 25);
    // 0 stands for the compositor going away under Lunaveil.
    for (const int ending : {SIGTERM, SIGKILL, 0}) {
        SCOPED_TRACE(ending == SIGTERM ? "SIGTERM" : ending == SIGKILL ? "SIGKILL" : "compositor gone");
        FakeGammaCompositor compositor({QStringLiteral("FAKE-1:256"), QStringLiteral("FAKE-2:1024"), QStringLiteral("DARK-3:0")});
        ASSERT_TRUE(compositor.running()) << "the fake compositor did not start";
        LunaveilProcess process(QStringLiteral(LUNAVEIL_PROGRAM), "");
        process.storeTint(true, Colour::orangeColor(), 25, true);
        process.setVariable(QStringLiteral("DISPLAY"), {});
        process.setVariable(QStringLiteral("WAYLAND_DISPLAY"), compositor.socket());
        process.setVariable(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
        process.setVariable(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.captureErrors();
        ASSERT_TRUE(process.start({QStringLiteral("-psn_0_0")}));

        EXPECT_TRUE(compositor.saw(FakeServer::tableLine("FAKE-1", rampFromFormula(256, orange)))) << compositor.said();
        EXPECT_TRUE(compositor.saw(FakeServer::tableLine("FAKE-2", rampFromFormula(1024, orange)))) << compositor.said();
        EXPECT_EQ(compositor.occurrences("set DARK-3"), 0) << "an output that refused got a table";
        test::spinUntil([] { return false; }, std::chrono::milliseconds(2500));
        EXPECT_EQ(compositor.occurrences("set FAKE-1"), 1) << "a table the compositor holds was sent again";
        QString errors = process.errors();
        EXPECT_TRUE(errors.contains(QStringLiteral("display platform Wayland (sway)"))) << errors.toStdString();

        if (ending == 0) {
            compositor.kill();
            EXPECT_EQ(process.waitForExit(), 1);
            errors += process.errors();
            EXPECT_TRUE(errors.contains(QStringLiteral("the display went away; Lunaveil ends"))) << errors.toStdString();
            continue;
        }
        process.send(ending);
        EXPECT_TRUE(compositor.saw("restore FAKE-1") && compositor.saw("restore FAKE-2")) << compositor.said();
        process.waitForExit();
    }
}

}  // namespace
}  // namespace lunaveil
