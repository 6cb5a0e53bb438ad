// True Colors where the compositor holds the display gamma, against stand-ins of the tests' own:
// a wlroots compositor whose outputs take gamma tables, and Mutter's DisplayConfig on a private
// session bus beside a Wayland display that offers none of wlroots' protocols. On both the formula
// reaches each output in use at its own size and no other, once; a table Mutter's Night Light
// writes over it is put right, also after the monitors changed; and every way out gives the tables
// back, after a kill on GNOME through `--reset`. A compositor that goes away ends Lunaveil with a
// word on why.

#include "effects/TransferFormula.h"
#include "support/FakeServer.h"
#include "support/LunaveilProcess.h"
#include "support/PrivateBus.h"
#include "support/SpinEventLoop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <string_view>
#include <utility>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::LunaveilProcess;

TEST(TrueColorsOnWayland, ReachesEveryOutputInUseHoldsAgainstMutterAndEveryEndGivesTheTablesBack)
{
    const test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "no private session bus";
    const TransferFormula orange = *trueColorFormula(Colour::orangeColor(), 25);
    const std::string orange7 = FakeServer::tableLine("7", rampFromFormula(256, orange));
    const std::string orange9 = FakeServer::tableLine("9", rampFromFormula(1024, orange));
    // Two outputs in use, each of its own ramp size, and one that refuses a table (drives no monitor).
    const QStringList outputs{QStringLiteral("7:256"), QStringLiteral("9:1024"), QStringLiteral("11:0")};
    // Each desktop with how Lunaveil ends: a signal, or 0 for the compositor going away under it.
    for (const auto& [desktop, ending] :
         {std::pair{"sway", SIGTERM}, std::pair{"sway", 0}, std::pair{"GNOME", SIGTERM}, std::pair{"GNOME", SIGKILL}}) {
        const bool gnome = desktop == std::string_view("GNOME");
        SCOPED_TRACE(std::string(desktop) + (ending == 0 ? ", compositor gone" : ending == SIGKILL ? ", SIGKILL" : ", SIGTERM"));
        test::FakeGammaCompositor compositor(gnome ? QStringList() : outputs);
        std::optional<test::FakeDisplayConfig> mutter;
        if (gnome)
            mutter.emplace(outputs, bus.address());
        ASSERT_TRUE(compositor.running() && (!gnome || mutter->running())) << "a fake did not start";
        FakeServer& gamma = gnome ? static_cast<FakeServer&>(*mutter) : compositor;
        LunaveilProcess process(QStringLiteral(LUNAVEIL_PROGRAM), "");
        process.storeTint(true, Colour::orangeColor(), 25, true);
        process.setSessionBus(bus.address());
        process.setVariable(QStringLiteral("DISPLAY"), {});
        process.setVariable(QStringLiteral("WAYLAND_DISPLAY"), compositor.socket());
        process.setVariable(QStringLiteral("XDG_CURRENT_DESKTOP"), QString::fromLatin1(desktop));
        process.setVariable(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.captureErrors();
        ASSERT_TRUE(process.start({QStringLiteral("-psn_0_0")}));

        EXPECT_TRUE(gamma.saw(orange7) && gamma.saw(orange9)) << gamma.said();
        EXPECT_EQ(gamma.occurrences("set 11"), 0) << "an output that refused got a table";
        if (gnome) {
            // The monitors change, and GNOME's Night Light writes its own table over the tint, both
            // through DisplayConfig as GNOME's settings daemon calls it.
            qDBusRegisterMetaType<QList<quint16>>();
            const QString name = QStringLiteral("org.gnome.Mutter.DisplayConfig");
            const QDBusConnection gnomeBus = QDBusConnection::connectToBus(bus.address(), name);
            const auto call = [&](const char* method, const QList<QVariant>& arguments = {}) {
                QDBusMessage message = QDBusMessage::createMethodCall(name, QStringLiteral("/org/gnome/Mutter/DisplayConfig"),
                                                                      name, QLatin1String(method));
                message.setArguments(arguments);
                return gnomeBus.call(message);
            };
            call("ApplyMonitorsConfig");
            const QVariant night = QVariant::fromValue(QList<quint16>(1024, 40000));
            const QVariant serial = call("GetResources").arguments().value(0);
            ASSERT_EQ(call("SetCrtcGamma", {serial, 9u, night, night, night}).type(), QDBusMessage::ReplyMessage);
            EXPECT_TRUE(test::spinUntil([&] { return mutter->occurrences(orange9) == 2; }, 3s)) << gamma.said();
        }
        test::spinUntil([] { return false; }, 2s);
        EXPECT_EQ(gamma.occurrences(orange7), 1) << "a table the compositor holds was sent again";

        if (ending == 0) {
            compositor.kill();
            EXPECT_EQ(process.waitForExit(), 1);
            const QString errors = process.errors();
            EXPECT_TRUE(errors.contains(QStringLiteral("the display went away; Lunaveil ends"))) << errors.toStdString();
            continue;
        }
        process.send(ending);
        process.waitForExit();
        // wlroots gives an output its own table back once its control ends; the fake Mutter's
        // calibration is a straight line to 60000.
        const auto restored = [&](std::string output) {
            return gnome ? output.insert(0, "set ") + " 0 60000 0 60000 0 60000" : output.insert(0, "restore ");
        };
        if (ending == SIGKILL) {
            QString reset;
            EXPECT_EQ(process.runOnce({QStringLiteral("--reset")}, &reset), 0) << reset.toStdString();
        }
        EXPECT_TRUE(gamma.saw(restored("7")) && gamma.saw(restored("9"))) << gamma.said();
    }
}

}  // namespace
}  // namespace lunaveil
