// True Colors where the compositor holds the display gamma, against stand-ins of the tests' own:
// a wlroots compositor whose outputs take gamma tables, and Mutter's DisplayConfig on a private
// session bus beside a Wayland display that offers none of wlroots' protocols. On both the formula
// reaches each output in use at its own size and no other, once; a table Mutter's Night Light
// writes over it is put right, also after the monitors changed; and every way out gives the tables
// back, after a kill on GNOME through `--reset`. A compositor that goes away ends Lunaveil with a
// word on why; a DisplayConfig that answers only with errors is no display gamma at all.

#include "effects/TransferFormula.h"
#include "support/FakeServer.h"
#include "support/LunaveilProcess.h"
#include "support/PrivateBus.h"
#include "support/SpinEventLoop.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <string_view>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::LunaveilProcess;

std::unique_ptr<LunaveilProcess> lunaveil(const QString& waylandDisplay, const char* desktop, const QString& bus)
{
    auto process = std::make_unique<LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), "");
    process->storeTint(true, Colour::orangeColor(), 25, true);
    process->setSessionBus(bus);
    process->setVariable(QStringLiteral("DISPLAY"), {});
    process->setVariable(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
    process->setVariable(QStringLiteral("XDG_CURRENT_DESKTOP"), QString::fromLatin1(desktop));
    process->setVariable(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->captureErrors();
    EXPECT_TRUE(process->start({QStringLiteral("-psn_0_0")}));
    return process;
}

struct Ending {
    const char* desktop;
    int signal;  // 0: the compositor goes away under Lunaveil
};

TEST(TrueColorsOnWayland, ReachesEveryOutputInUseHoldsAgainstMutterAndEveryEndGivesTheTablesBack)
{
    const test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "no private session bus";
    const TransferFormula orange = *trueColorFormula(Colour::orangeColor(), 25);
    const std::string orange7 = FakeServer::tableLine("7", rampFromFormula(256, orange));
    const std::string orange9 = FakeServer::tableLine("9", rampFromFormula(1024, orange));
    // Two outputs in use, each of its own ramp size, and one that refuses a table (drives no monitor).
    const QStringList outputs{QStringLiteral("7:256"), QStringLiteral("9:1024"), QStringLiteral("11:0")};
    for (const auto& [desktop, ending] :
         {Ending{"sway", SIGTERM}, Ending{"sway", 0}, Ending{"GNOME", SIGTERM}, Ending{"GNOME", SIGKILL}}) {
        const bool gnome = desktop == std::string_view("GNOME");
        SCOPED_TRACE(std::string(desktop) + (ending == 0 ? ", compositor gone" : ending == SIGKILL ? ", SIGKILL" : ", SIGTERM"));
        test::FakeGammaCompositor compositor(gnome ? QStringList() : outputs);
        ASSERT_TRUE(compositor.running()) << "the fake compositor did not start";
        std::optional<test::FakeDisplayConfig> mutter;
        if (gnome)
            mutter.emplace(outputs, bus.address());
        ASSERT_TRUE(!gnome || mutter->running()) << "the fake DisplayConfig did not start";
        FakeServer& gamma = gnome ? static_cast<FakeServer&>(*mutter) : compositor;
        const auto process = lunaveil(compositor.socket(), desktop, bus.address());

        EXPECT_TRUE(gamma.saw(orange7) && gamma.saw(orange9)) << gamma.said();
        EXPECT_EQ(gamma.occurrences("set 11"), 0) << "an output that refused got a table";
        if (gnome) {
            mutter->tell("monitors");
            mutter->tell("night 9");  // Mutter's Night Light writes over the tint
            EXPECT_TRUE(test::spinUntil([&] { return mutter->occurrences(orange9) == 2; }, 3s)) << gamma.said();
        }
        test::spinUntil([] { return false; }, 2s);
        EXPECT_EQ(gamma.occurrences(orange7), 1) << "a table the compositor holds was sent again";
        QString errors = process->errors();
        EXPECT_TRUE(errors.contains(QStringLiteral("display platform Wayland (%1)").arg(QLatin1String(desktop))))
            << errors.toStdString();

        if (ending == 0) {
            compositor.kill();
            EXPECT_EQ(process->waitForExit(), 1);
            errors += process->errors();
            EXPECT_TRUE(errors.contains(QStringLiteral("the display went away; Lunaveil ends"))) << errors.toStdString();
            continue;
        }
        process->send(ending);
        process->waitForExit();
        // wlroots gives an output its own table back once its control ends; the fake Mutter's
        // calibration is a straight line to 60000.
        const auto restored = [&](std::string output) {
            return gnome ? output.insert(0, "set ") + " 0 60000 0 60000 0 60000" : output.insert(0, "restore ");
        };
        if (ending == SIGKILL) {
            EXPECT_EQ(gamma.occurrences(restored("7")), 0);
            QString reset;
            EXPECT_EQ(process->runOnce({QStringLiteral("--reset")}, &reset), 0) << reset.toStdString();
        }
        EXPECT_TRUE(gamma.saw(restored("7")) && gamma.saw(restored("9"))) << gamma.said();
    }

    // A DisplayConfig that answers every call with an error offers no gamma: nothing is set, and
    // Lunaveil runs on.
    test::FakeGammaCompositor compositor{QStringList()};
    test::FakeDisplayConfig broken({QStringLiteral("7:256")}, bus.address());
    ASSERT_TRUE(compositor.running() && broken.running());
    broken.tell("errors");
    test::spinUntil([] { return false; }, 200ms);
    const auto process = lunaveil(compositor.socket(), "GNOME", bus.address());
    test::spinUntil([] { return false; }, 2s);
    const QString errors = process->errors();
    EXPECT_TRUE(errors.contains(QStringLiteral("no display gamma here"))) << errors.toStdString();
    EXPECT_EQ(broken.occurrences("set 7"), 0);
    EXPECT_EQ(process->endWith(SIGTERM), 0);
}

}  // namespace
}  // namespace lunaveil
