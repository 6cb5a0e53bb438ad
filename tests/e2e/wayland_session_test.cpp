// Lunaveil in a real Wayland session (sway headless, two outputs): its layer-shell overlay blends
// over every output, also one added or taken away while it runs, and lets every click through;
// it never writes XWayland's gamma (which reaches no screen), and with Qt's Wayland plugin no
// window of its own tiles or covers the desktop.

#include "platform/x11/RandrCrtcs.h"
#include "support/Calibration.h"
#include "support/LunaveilProcess.h"
#include "support/ScreenProbe.h"
#include "support/SpinEventLoop.h"
#include "support/WaylandSession.h"
#include "support/XServer.h"

#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <vector>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::LunaveilProcess;
using test::WaylandSession;

// Where the tint is looked at: inside the window under it, away from the middle, where the
// software cursor of the headless outputs is drawn after a click.
QPoint sample(const QRect& output)
{
    return output.center() - QPoint(150, 100);
}

// Lunaveil in a session of the compositor's own, run by the session's user.
class LunaveilInSession : public testing::Test {
protected:
    LunaveilInSession(int outputs, WaylandSession::Compositor compositor) : session_(outputs, compositor) {}
    void SetUp() override { LUNAVEIL_REQUIRE_RUNNING(session_, "Wayland session"); }

    // A Lunaveil of the session's user with Qt on `qtPlatform` ("": Lunaveil's own choice), its
    // stderr kept; unless on its first run, tinting or resting.
    std::unique_ptr<LunaveilProcess> lunaveil(const char* qtPlatform, bool tintNow, bool firstRun = false)
    {
        auto process = std::make_unique<LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM),
                                                          session_.xDisplay().toStdString());
        if (!firstRun)
            process->storeTint(false, Colour::redColor(), 40, tintNow);
        for (const QString& name : {QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("XDG_CURRENT_DESKTOP")})
            process->setVariable(name, session_.environment().value(name));
        process->setVariable(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(qtPlatform));
        process->setSessionBus(session_.sessionBus());  // swaybar hosts the tray there
        EXPECT_TRUE(process->runAs(session_.uid(), session_.gid()));
        process->captureErrors();
        return process;
    }
    // Waits until the program has said which display platform it runs on; all it said by then.
    QString startedOn(LunaveilProcess& process)
    {
        QString said;
        test::spinUntil([&] {
            said += process.errors();
            return said.contains(QStringLiteral("display platform")) || !process.running();
        });
        // The lines on what the platform cannot do follow at once.
        test::spinUntil([] { return false; }, 300ms);
        return said + process.errors();
    }
    // An X window of its own that reports its clicks, and where the compositor put it: at the
    // top left, away from the middle, where Lunaveil's window opens when no tray runs.
    std::pair<std::unique_ptr<QProcess>, QRect> xClickTarget()
    {
        auto target = std::make_unique<QProcess>();
        target->setProcessEnvironment(session_.environment());
        // Line by line: into a pipe, xev would keep its reports in its buffer.
        target->start(QStringLiteral("stdbuf"), {QStringLiteral("-oL"), QStringLiteral("xev"), QStringLiteral("-event"),
                                                 QStringLiteral("button"), QStringLiteral("-geometry"), QStringLiteral("200x200+16+16")});
        const test::ScreenProbe xwayland(session_.xDisplay().toStdString());
        // Where the window manager leaves it: KWin maps a window first and places it after.
        QRect placed, last;
        int polls = 0;
        EXPECT_TRUE(test::spinUntil([&] {
            // xev names itself, and no process.
            const xcb_window_t window = xwayland.find(
                [&](xcb_window_t candidate, bool) { return xwayland.title(candidate) == QStringLiteral("Event Tester"); });
            placed = window != XCB_NONE ? xwayland.geometry(window) : QRect();
            polls = !placed.isEmpty() && placed == last ? polls + 1 : 0;
            last = placed;
            return polls >= 25;
        })) << "no click target";
        return {std::move(target), placed};
    }
    // A point of `target` that no window of Lunaveil `pid` covers but its overlays: where no tray
    // runs, its window opens wherever the window manager puts it.
    QPoint uncovered(const QRect& target, qint64 pid) const
    {
        const test::ScreenProbe xwayland(session_.xDisplay().toStdString());
        std::vector<QRect> covered;
        // Every mapped window of the process, inside the window manager's frames too, but its
        // overlays; each with its frame, title bar and all.
        xwayland.find([&](xcb_window_t window, bool) {
            if (xwayland.pid(window) == pid && !xwayland.isOverrideRedirect(window))
                covered.push_back(xwayland.geometry(window).adjusted(-8, -48, 8, 8));
            return false;
        });
        const QRect inside = target.adjusted(10, 10, -10, -10);
        for (const QPoint point : {inside.center(), inside.topLeft(), inside.topRight(), inside.bottomLeft(), inside.bottomRight()}) {
            if (std::ranges::none_of(covered, [&](const QRect& rect) { return rect.contains(point); }))
                return point;
        }
        ADD_FAILURE() << "Lunaveil's windows cover the whole click target";
        return target.center();
    }
    // Whether a click at `at` reaches `target` (see xClickTarget), what it reported until now aside.
    // A few tries: a compositor may route a new window's first click before it knows the window.
    bool clickReaches(QPoint at, QProcess& target)
    {
        target.readAllStandardOutput();
        for (int tries = 0; tries < 3; ++tries) {
            if (!session_.click(at.x(), at.y()))
                return false;
            if (test::spinUntil([&] { return target.readAllStandardOutput().contains("ButtonRelease"); }, 2s))
                return true;
        }
        return false;
    }
    // Whether the program keeps any file in its runtime folder's journal folder.
    static bool journalled(const LunaveilProcess& process)
    {
        const std::filesystem::path journals = process.home().toStdString() + "/runtime/lunaveil";
        return std::filesystem::exists(journals) && !std::filesystem::is_empty(journals);
    }
    WaylandSession session_;
};

class LunaveilOnSway : public LunaveilInSession {
protected:
    LunaveilOnSway() : LunaveilInSession(2, WaylandSession::Compositor::Sway) {}
    void SetUp() override
    {
        LunaveilInSession::SetUp();
        ASSERT_EQ(session_.outputs().size(), 2u);
    }

    // A window of its own that reports its clicks, on the first output.
    std::unique_ptr<QProcess> clickTarget()
    {
        auto target = std::make_unique<QProcess>();
        target->setProcessEnvironment(session_.environment());
        // Line by line: into a pipe, xev would keep its reports in its buffer.
        target->start(QStringLiteral("stdbuf"), {QStringLiteral("-oL"), QStringLiteral("xev"), QStringLiteral("-event"), QStringLiteral("button")});
        EXPECT_TRUE(test::spinUntil([&] { return !windowsOf(target->processId()).empty(); })) << "no click target";
        return target;
    }
    // sway's windows of process `pid`.
    std::vector<QJsonObject> windowsOf(qint64 pid) const
    {
        std::vector<QJsonObject> found;
        for (const QJsonValue node : session_.windows()) {
            if (node[QLatin1String("pid")].toInteger() == pid)
                found.push_back(node.toObject());
        }
        return found;
    }
};

// KWin and Mutter, one output each: the tint is an overlay that lets every click through, and
// the display gamma is the desktop's own Night Light's, which Lunaveil says.
struct DesktopCase {
    const char* name;
    WaylandSession::Compositor compositor;
    const char* qtPlatform;
    const char* platform;
    const char* whyNoGamma;
    friend void PrintTo(const DesktopCase& desktop, std::ostream* out) { *out << desktop.name; }
};
class LunaveilOnADesktop : public LunaveilInSession, public testing::WithParamInterface<DesktopCase> {
protected:
    LunaveilOnADesktop() : LunaveilInSession(1, GetParam().compositor) {}
};

TEST_F(LunaveilOnSway, TheOverlayBlendsOverEachOutputAsOutputsComeAndGoLetsEveryClickThroughAndLeavesXWaylandAlone)
{
    // A window that reports its clicks, tiled over the whole of each output.
    std::vector<std::unique_ptr<QProcess>> targets;
    for (const auto& output : session_.outputs()) {
        ASSERT_TRUE(session_.swaymsg({QStringLiteral("focus"), QStringLiteral("output"), output.name}));
        auto& target = targets.emplace_back(clickTarget());
        ASSERT_TRUE(session_.swaymsg({QStringLiteral("[pid=%1]").arg(target->processId()), QStringLiteral("move"),
                                      QStringLiteral("container"), QStringLiteral("to"), QStringLiteral("output"),
                                      output.name}));
    }
    const auto xwayland = RandrCrtcs::create(session_.xDisplay().toLocal8Bit().constData());
    ASSERT_NE(xwayland, nullptr);
    ASSERT_TRUE(xwayland->isXWayland());
    const std::vector<CrtcId> crtcs = test::crtcIds(*xwayland);
    const auto rampsBefore = xwayland->getRamps(crtcs);
    std::vector<QRgb> untinted;
    for (const auto& output : session_.outputs()) {
        const auto shown = session_.pixel(sample(output.rect));
        ASSERT_TRUE(shown) << "no screenshot of " << output.name.toStdString();
        untinted.push_back(*shown);
    }

    const auto process = lunaveil("xcb", true);
    // Started as at login, where the popover does not open: it is the one window meant to take clicks.
    ASSERT_TRUE(process->start({QStringLiteral("-psn_0_0")}));
    QString said = startedOn(*process);
    EXPECT_TRUE(said.contains(QStringLiteral("display platform Wayland (sway)"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("True Colors and Invert Colors are not available, and the tint is the overlay")))
        << said.toStdString();
    test::spinUntil([] { return false; }, 1500ms);  // the tint's first tick and fade have come and gone

    const auto outputs = session_.outputs();
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const auto shown = session_.pixel(sample(outputs[i].rect));
        const QRgb wanted = test::blend(untinted[i], qRgb(255, 0, 0), 0.4);
        ASSERT_TRUE(shown);
        EXPECT_TRUE(test::near(*shown, wanted, 2))
            << outputs[i].name.toStdString() << " shows " << std::hex << *shown << ", not " << wanted;
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const QPoint middle = outputs[i].rect.center();
        ASSERT_TRUE(session_.click(middle.x(), middle.y()));
        QByteArray reported;
        EXPECT_TRUE(test::spinUntil([&] {
            reported += targets[i]->readAllStandardOutput();
            return reported.contains("ButtonRelease");
        })) << "a click in the middle of " << outputs[i].name.toStdString() << " did not reach the window under it";
    }
    EXPECT_EQ(xwayland->getRamps(crtcs), rampsBefore) << "XWayland's ramps were written";
    EXPECT_FALSE(journalled(*process));

    // An output made while the tint holds gets its overlay; one that goes in the middle of a fade
    // takes nothing down with it, and comes back tinted.
    ASSERT_TRUE(session_.swaymsg({QStringLiteral("create_output")}));
    QString added;
    const auto addedRect = [&] {
        for (const auto& output : session_.outputs()) {
            if (output.name == added)
                return output.rect;
        }
        return QRect();
    };
    ASSERT_TRUE(test::spinUntil([&] {
        for (const auto& output : session_.outputs()) {
            if (std::none_of(outputs.begin(), outputs.end(), [&](const auto& known) { return known.name == output.name; }))
                added = output.name;
        }
        return !addedRect().isEmpty();
    })) << "sway made no output";
    test::spinUntil([] { return false; }, 1500ms);
    const auto tintedOnAdded = session_.pixel(sample(addedRect()));
    ASSERT_TRUE(tintedOnAdded);
    process->send(SIGUSR1);  // the tint fades out...
    ASSERT_TRUE(session_.swaymsg({QStringLiteral("output"), added, QStringLiteral("disable")}));  // ...as an output goes
    test::spinUntil([] { return false; }, 1s);
    ASSERT_TRUE(process->running()) << "an output gone in the middle of a fade ended Lunaveil";
    ASSERT_TRUE(session_.swaymsg({QStringLiteral("output"), added, QStringLiteral("enable")}));
    process->send(SIGUSR1);  // ...and in again, over every output
    test::spinUntil([] { return false; }, 1500ms);
    const auto retinted = session_.pixel(sample(addedRect()));
    EXPECT_TRUE(retinted && test::near(*retinted, *tintedOnAdded, 2))
        << "the output that came back shows " << std::hex << retinted.value_or(0) << ", not " << *tintedOnAdded;

    EXPECT_TRUE(process->running());
    EXPECT_EQ(process->endWith(SIGTERM), 0);
    const auto untintedOnAdded = session_.pixel(sample(addedRect()));
    ASSERT_TRUE(untintedOnAdded);
    EXPECT_TRUE(test::near(*tintedOnAdded, test::blend(*untintedOnAdded, qRgb(255, 0, 0), 0.4), 2))
        << "the output made while the tint held showed " << std::hex << *tintedOnAdded << " over " << *untintedOnAdded;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const auto shown = session_.pixel(sample(outputs[i].rect));
        EXPECT_TRUE(shown && test::near(*shown, untinted[i], 2))
            << "an overlay stayed on " << outputs[i].name.toStdString() << ": " << std::hex << shown.value_or(0) << " " << untinted[i];
    }
    QString reset;
    EXPECT_EQ(process->runOnce({QStringLiteral("--reset")}, &reset), 1);
    EXPECT_TRUE(reset.contains(QStringLiteral("offers no display gamma to reset"))) << reset.toStdString();
    EXPECT_EQ(xwayland->getRamps(crtcs), rampsBefore);
    for (const auto& target : targets)
        target->kill();
}

TEST_F(LunaveilOnSway, TheIconInSwaybarOpensThePopoverBesideItAndClosesItAsAPopoverCloses)
{
    ASSERT_TRUE(session_.swaymsg({QStringLiteral("focus"), QStringLiteral("output"), session_.outputs().front().name}));
    const auto target = clickTarget();
    const auto process = lunaveil("", false);  // Lunaveil chooses where its windows go: XWayland
    ASSERT_TRUE(process->start({QStringLiteral("-psn_0_0")}));
    startedOn(*process);
    const test::ScreenProbe xwayland(session_.xDisplay().toStdString());
    // The popover is an X pop-up: override-redirect, so sway neither tiles nor moves it.
    const auto popover = [&]() -> QRect {
        for (const xcb_window_t window : xwayland.windowsOf(process->pid(), true)) {
            if (xwayland.isOverrideRedirect(window))
                return xwayland.geometry(window);
        }
        return {};
    };
    // swaybar puts the tray at the right end of the bar at the bottom of each output.
    const QRect output = session_.outputs().front().rect;
    const QPoint icon = output.bottomRight() - QPoint(12, 12);
    const auto clickIcon = [&] { return session_.click(icon.x(), icon.y()); };
    // The item reaches swaybar through its watcher a moment after the start, and sway 1.7 can
    // lose a new virtual pointer's first click: a few tries.
    for (int tries = 0; tries < 4 && popover().isEmpty(); ++tries) {
        ASSERT_TRUE(clickIcon());
        test::spinUntil([&] { return !popover().isEmpty(); }, 2s);
    }
    const QRect opened = popover();
    ASSERT_FALSE(opened.isEmpty()) << "a click on the icon in swaybar opened no popover";
    // Beside the icon: just above it at the output's right edge, and no window of sway's.
    EXPECT_EQ(opened.right(), output.right());
    EXPECT_LE(opened.bottom(), icon.y());
    EXPECT_GE(opened.bottom(), icon.y() - 40);
    EXPECT_TRUE(windowsOf(process->pid()).empty()) << "sway manages the popover as a window";

    ASSERT_TRUE(clickIcon());
    EXPECT_TRUE(test::spinUntil([&] { return popover().isEmpty(); })) << "a second click on the icon left it open";
    // Closed, the icon is offered by name: swaybar draws the symbolic icon's grey, which its black
    // bar does not swallow as it would the black icon.
    const auto showsSymbolicGrey = [&] {
        // Above and left of the pointer's tip, whose arrow is white and grey: the crescent's body.
        const QImage shot = session_.screenshot();
        int grey = 0;
        int light = 0;
        for (int y = icon.y() - 12; y < icon.y() - 2; ++y)
            for (int x = icon.x() - 10; x < icon.x() - 2; ++x) {
                if (!shot.rect().contains(x, y))
                    continue;
                grey += test::near(shot.pixel(x, y), qRgb(0x8c, 0x8c, 0x8c), 12) ? 1 : 0;
                light += qGray(shot.pixel(x, y)) > 0xc0 ? 1 : 0;
            }
        return grey >= 8 && light == 0;
    };
    EXPECT_TRUE(test::spinUntil(showsSymbolicGrey, 3s)) << "swaybar does not show the symbolic icon";
    ASSERT_TRUE(clickIcon());
    ASSERT_TRUE(test::spinUntil([&] { return !popover().isEmpty(); })) << "a third click did not open it again";
    // A click in another window closes it, as any pop-up closes.
    ASSERT_TRUE(session_.click(output.left() + 150, output.top() + 150));
    EXPECT_TRUE(test::spinUntil([&] { return popover().isEmpty(); })) << "a click elsewhere left the popover open";
    EXPECT_EQ(process->endWith(SIGTERM), 0);
    target->kill();
}

TEST_F(LunaveilOnSway, WithQtOnWaylandNoWindowOfItsOwnTilesOrCoversTheDesktop)
{
    const auto process = lunaveil("wayland", false, true);  // a first run: the welcome window shows
    process->setVariable(QStringLiteral("DISPLAY"), QStringLiteral(":99"));  // a session that lies
    ASSERT_TRUE(process->start());
    const QString said = startedOn(*process);
    EXPECT_TRUE(said.contains(QStringLiteral("DISPLAY=:99 does not answer"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("display platform Wayland (sway)"))) << said.toStdString();
    ASSERT_TRUE(test::spinUntil([&] { return !windowsOf(process->pid()).empty(); })) << "the welcome window never came";
    test::spinUntil([] { return false; }, 1500ms);

    EXPECT_FALSE(journalled(*process));
    const QRect output = session_.outputs().front().rect;
    for (const QJsonObject& window : windowsOf(process->pid())) {
        const QJsonObject rect = window[QLatin1String("rect")].toObject();
        const QSize size(rect[QLatin1String("width")].toInt(), rect[QLatin1String("height")].toInt());
        EXPECT_EQ(window[QLatin1String("type")].toString(), QStringLiteral("floating_con"))
            << window[QLatin1String("name")].toString().toStdString() << " tiles";
        EXPECT_TRUE(size.width() < output.width() && size.height() < output.height())
            << window[QLatin1String("name")].toString().toStdString() << " covers the output";
    }
    EXPECT_TRUE(process->running());
    EXPECT_EQ(process->endWith(SIGTERM), 0);
}

TEST_P(LunaveilOnADesktop, TheOverlayCoversTheOutputAndLetsClicksThroughAndTrueColorsIsNotOffered)
{
    const DesktopCase& desktop = GetParam();
    auto [target, placed] = xClickTarget();
    ASSERT_FALSE(placed.isEmpty());
    ASSERT_TRUE(clickReaches(placed.center(), *target)) << "a click at " << placed.center().x() << "," << placed.center().y() << " missed the window under it";
    const auto process = lunaveil(desktop.qtPlatform, true);
    // What KWin does with the layer-shell overlay, which nothing here can take a picture of.
    process->setVariable(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("lunaveil.overlay.debug=true"));
    ASSERT_TRUE(process->start({QStringLiteral("-psn_0_0")}));
    QString said = startedOn(*process);
    EXPECT_TRUE(said.contains(QString::fromLatin1(desktop.platform))) << said.toStdString();
    EXPECT_TRUE(said.contains(QString::fromLatin1(desktop.whyNoGamma))) << said.toStdString();
    // Mutter's: an XWayland window over the monitor whose empty input shape lets clicks through.
    const test::ScreenProbe xwayland(session_.xDisplay().toStdString());
    const auto overlaid = [&] {
        said += process->errors();
        if (desktop.compositor == WaylandSession::Compositor::KWin)
            return said.contains(QStringLiteral("the compositor gave the overlay of output")) && said.contains(QStringLiteral(" 800x600"));
        return std::ranges::any_of(xwayland.windowsOf(process->pid(), true), [&](xcb_window_t window) {
            return xwayland.isOverrideRedirect(window) && xwayland.geometry(window) == session_.outputs().front().rect;
        });
    };
    EXPECT_TRUE(test::spinUntil(overlaid)) << "no overlay of the output's size: " << said.toStdString();
    test::spinUntil([] { return false; }, 1s);  // the fade in ends
    EXPECT_TRUE(clickReaches(uncovered(placed, process->pid()), *target)) << "a click did not pass through the overlay";
    EXPECT_EQ(process->endWith(SIGTERM), 0);
    target->kill();
}

// Under KWin the windows go to XWayland and the overlay is a layer-shell surface; under Mutter,
// Lunaveil chooses where its windows go: XWayland.
INSTANTIATE_TEST_SUITE_P(
    KWinAndMutter, LunaveilOnADesktop,
    testing::Values(DesktopCase{"KWin", WaylandSession::Compositor::KWin, "xcb", "display platform Wayland (KDE)",
                                "KWin keeps it to Plasma's Night Light"},
                    DesktopCase{"Mutter", WaylandSession::Compositor::Mutter, "", "display platform XWayland (GNOME)",
                                "Mutter lets no program set it here"}),
    [](const testing::TestParamInfo<DesktopCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lunaveil
