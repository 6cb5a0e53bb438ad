// Lunaveil in real Wayland sessions. On sway (headless, two outputs) its icon in swaybar opens the
// popover beside it; its layer-shell overlay blends over every output, also one added or taken
// away while it runs, and lets every click through; `--reset` finds no display gamma to reset.
// On KWin and Mutter the overlay covers the output, and the display gamma is the desktop's own
// Night Light's, which Lunaveil says.

#include "support/LunaveilProcess.h"
#include "support/ScreenProbe.h"
#include "support/SpinEventLoop.h"
#include "support/WaylandSession.h"
#include "support/XServer.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::LunaveilProcess;
using test::WaylandSession;

// Starts a Lunaveil in `session` with a red tint stored, on or resting, as at login, where the
// popover does not open: run by the session's user, with Qt on `qtPlatform` ("": Lunaveil's own
// choice). Returns once it has said which display platform it runs on; `said` holds all it said.
std::unique_ptr<LunaveilProcess> startTinting(const WaylandSession& session, const char* qtPlatform, bool now, QString& said)
{
    auto process = std::make_unique<LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), session.xDisplay().toStdString());
    process->storeTint(false, Colour::redColor(), 40, now);
    for (const QString& name : {QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("XDG_CURRENT_DESKTOP")})
        process->setVariable(name, session.environment().value(name));
    process->setVariable(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(qtPlatform));
    // What the compositor does with the layer-shell overlay, which nothing on KWin can take a picture of.
    process->setVariable(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("lunaveil.overlay.debug=true"));
    process->setSessionBus(session.sessionBus());  // swaybar hosts the tray there
    process->captureErrors();
    if (!process->runAs(session.uid(), session.gid()) || !process->start({QStringLiteral("-psn_0_0")}))
        return nullptr;
    test::spinUntil([&] {
        said += process->errors();
        return said.contains(QStringLiteral("display platform")) || !process->running();
    });
    // The lines on what the platform cannot do follow at once.
    test::spinUntil([] { return false; }, 300ms);
    said += process->errors();
    return process;
}

// Where the tint is looked at: inside the window under it, away from the middle, where the
// software cursor of the headless outputs is drawn after a click.
QPoint sample(const QRect& output)
{
    return output.center() - QPoint(150, 100);
}

TEST(LunaveilOnSway, TheIconOpensThePopoverAndTheOverlayTintsEveryOutputAsOutputsComeAndGoAndLetsClicksThrough)
{
    const WaylandSession session(2);
    LUNAVEIL_REQUIRE_RUNNING(session, "sway session");
    const auto outputs = session.outputs();
    ASSERT_EQ(outputs.size(), 2u);
    // A window that reports its clicks, tiled over the whole of each output.
    std::vector<std::unique_ptr<QProcess>> targets;
    for (const auto& output : outputs) {
        ASSERT_TRUE(session.swaymsg(QStringLiteral("focus output ") + output.name));
        auto& target = targets.emplace_back(std::make_unique<QProcess>());
        target->setProcessEnvironment(session.environment());
        // Line by line: into a pipe, xev would keep its reports in its buffer.
        target->start(QStringLiteral("stdbuf"), QStringLiteral("-oL xev -event button").split(QLatin1Char(' ')));
        // sway refuses the move until the window is there.
        ASSERT_TRUE(test::spinUntil([&] {
            return session.swaymsg(QStringLiteral("[pid=%1] move container to output %2").arg(target->processId()).arg(output.name));
        })) << "no click target";
    }
    QString said;
    const auto process = startTinting(session, "", false, said);  // Lunaveil chooses where its windows go: XWayland
    ASSERT_TRUE(process);
    EXPECT_TRUE(said.contains(QStringLiteral("display platform Wayland (sway)"))) << said.toStdString();

    // The popover is an X pop-up: override-redirect, so sway neither tiles nor moves it.
    const test::ScreenProbe probe(session.xDisplay().toStdString());
    const auto popover = [&]() -> QRect {
        for (const xcb_window_t window : probe.windowsOf(process->pid(), true)) {
            if (probe.isOverrideRedirect(window))
                return probe.geometry(window);
        }
        return {};
    };
    // swaybar puts the tray at the right end of the bar at the bottom of each output.
    const QRect first = outputs.front().rect;
    const QPoint icon = first.bottomRight() - QPoint(12, 12);
    // The item reaches swaybar through its watcher a moment after the start, and sway 1.7 can
    // lose a new virtual pointer's first click: a few tries.
    for (int tries = 0; tries < 4 && popover().isEmpty(); ++tries) {
        ASSERT_TRUE(session.click(icon.x(), icon.y()));
        test::spinUntil([&] { return !popover().isEmpty(); }, 2s);
    }
    const QRect opened = popover();
    ASSERT_FALSE(opened.isEmpty()) << "a click on the icon in swaybar opened no popover";
    // Beside the icon: just above it at the output's right edge.
    EXPECT_EQ(opened.right(), first.right());
    EXPECT_LE(opened.bottom(), icon.y());
    EXPECT_GE(opened.bottom(), icon.y() - 40);
    // A click in another window closes it, as any pop-up closes.
    ASSERT_TRUE(session.click(first.left() + 150, first.top() + 150));
    EXPECT_TRUE(test::spinUntil([&] { return popover().isEmpty(); })) << "a click elsewhere left the popover open";

    process->send(SIGUSR1);  // the tint comes on
    test::spinUntil([] { return false; }, 1500ms);  // and its fade has come and gone
    // What each output shows tinted, to hold against what it shows once Lunaveil has ended.
    std::vector<std::pair<QRect, std::optional<QRgb>>> tinted;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        tinted.emplace_back(outputs[i].rect, session.pixel(sample(outputs[i].rect)));
        const QPoint middle = outputs[i].rect.center();
        targets[i]->readAllStandardOutput();
        ASSERT_TRUE(session.click(middle.x(), middle.y()));
        QByteArray reported;
        EXPECT_TRUE(test::spinUntil([&] {
            reported += targets[i]->readAllStandardOutput();
            return reported.contains("ButtonRelease");
        })) << "a click in the middle of " << outputs[i].name.toStdString() << " did not reach the window under it";
    }

    // An output made while the tint holds gets its overlay; one that goes in the middle of a fade
    // takes nothing down with it, and comes back tinted.
    ASSERT_TRUE(session.swaymsg(QStringLiteral("create_output")));
    // sway lists the outputs in the order they came, a disabled one last.
    const auto added = [&] {
        const auto now = session.outputs();
        return now.size() > outputs.size() ? now.back().rect : QRect();
    };
    ASSERT_TRUE(test::spinUntil([&] { return !added().isEmpty(); })) << "sway made no output";
    const QString addedName = session.outputs().back().name;
    test::spinUntil([] { return false; }, 1500ms);
    tinted.emplace_back(added(), session.pixel(sample(added())));
    process->send(SIGUSR1);  // the tint fades out...
    ASSERT_TRUE(session.swaymsg(QStringLiteral("output %1 disable").arg(addedName)));  // ...as an output goes
    test::spinUntil([] { return false; }, 1s);
    ASSERT_TRUE(session.swaymsg(QStringLiteral("output %1 enable").arg(addedName)));
    process->send(SIGUSR1);  // ...and in again, over every output
    test::spinUntil([] { return false; }, 1500ms);
    tinted.emplace_back(added(), session.pixel(sample(added())));

    EXPECT_EQ(process->endWith(SIGTERM), 0) << "an output gone in the middle of a fade ended Lunaveil";
    for (const auto& [rect, shown] : tinted) {
        const auto untinted = session.pixel(sample(rect));
        EXPECT_TRUE(shown && untinted && test::near(*shown, test::blend(*untinted, qRgb(255, 0, 0), 0.4), 2))
            << "the output at " << rect.x() << " showed " << std::hex << shown.value_or(0) << " over " << untinted.value_or(0);
    }
    QString reset;
    EXPECT_EQ(process->runOnce({QStringLiteral("--reset")}, &reset), 1);
    EXPECT_TRUE(reset.contains(QStringLiteral("offers no display gamma to reset"))) << reset.toStdString();
    for (const auto& target : targets)
        target->kill();
}

// KWin and Mutter, one output each: the tint is an overlay of the output's size, and the display
// gamma is the desktop's own Night Light's, which Lunaveil says. Under KWin its windows go to
// XWayland and the overlay is a layer-shell surface; under Mutter, Lunaveil chooses where its windows
// go (XWayland), and the overlay is an XWayland window over the monitor.
TEST(LunaveilOnKWinAndMutter, TheOverlayCoversTheOutputAndTrueColorsIsLeftToTheDesktop)
{
    using enum WaylandSession::Compositor;
    for (const auto& [compositor, qtPlatform, platform, whyNoGamma] :
         {std::tuple{KWin, "xcb", "display platform Wayland (KDE)", "KWin keeps it to Plasma's Night Light"},
          std::tuple{Mutter, "", "display platform XWayland (GNOME)", "Mutter lets no program set it here"}}) {
        SCOPED_TRACE(platform);
        const WaylandSession session(1, compositor);
        LUNAVEIL_REQUIRE_RUNNING(session, "KWin or Mutter session");
        QString said;
        const auto process = startTinting(session, qtPlatform, true, said);
        ASSERT_TRUE(process);
        EXPECT_TRUE(said.contains(QString::fromLatin1(platform))) << said.toStdString();
        EXPECT_TRUE(said.contains(QString::fromLatin1(whyNoGamma))) << said.toStdString();
        const test::ScreenProbe xwayland(session.xDisplay().toStdString());
        const auto overlaid = [&] {
            said += process->errors();
            if (compositor == KWin)
                return said.contains(QStringLiteral("the compositor gave the overlay of output")) && said.contains(QStringLiteral(" 800x600"));
            return std::ranges::any_of(xwayland.windowsOf(process->pid(), true), [&](xcb_window_t window) {
                return xwayland.isOverrideRedirect(window) && xwayland.geometry(window) == QRect(0, 0, 800, 600);
            });
        };
        EXPECT_TRUE(test::spinUntil(overlaid)) << "no overlay of the output's size: " << said.toStdString();
        EXPECT_EQ(process->endWith(SIGTERM), 0);
    }
}

}  // namespace
}  // namespace lunaveil
