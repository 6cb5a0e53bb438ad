// Lunaveil itself on a real X server (Xorg, dummy driver) with two calibrated monitors. Bare, it
// shows the tint through overlays blended by a compositor, through the displays' ramps where none
// runs (laid over each one's calibration) or for True Colors, and gives the calibration back on
// every way out. On a whole desktop (openbox, picom, trayer and a session bus of its own) it is
// used as a person uses it, by clicks and key presses through xdotool, and judged by what the
// server and the files show: windows, pixels, ramps, settings and the autostart entry.

#include "effects/TransferFormula.h"
#include "platform/FileLock.h"
#include "platform/x11/RandrCrtcs.h"
#include "support/Calibration.h"
#include "support/ChildProcess.h"
#include "support/LunaveilProcess.h"
#include "support/PrivateBus.h"
#include "support/ScreenProbe.h"
#include "support/SpinEventLoop.h"
#include "support/XServer.h"
#include "ui/PopoverViewController.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::blend;
using test::ChildProcess;
using test::LunaveilProcess;
using test::near;
using test::spinUntil;
using test::XServer;
namespace fs = std::filesystem;

constexpr QRgb background = qRgb(20, 40, 200);
constexpr QRgb tint = qRgb(255, 100, 0);
const Colour tintColour = Colour::rgb(1.0, 100.0 / 255.0, 0.0);
constexpr double opacity = 0.4;

// The server with its monitors' calibration, a known background under everything, and Lunaveil
// ready to start on it.
class OnAnXServer : public testing::Test {
protected:
    void SetUp() override
    {
        server_ = std::make_unique<XServer>(2);
        LUNAVEIL_REQUIRE_X_SERVER(*server_);
        screen_ = std::make_unique<test::ScreenProbe>(server_->displayName());
        // In the middle of each monitor and of the third, when on: away from the tray and the
        // popover, which a window over the whole screen would take the clicks of.
        for (const int left : {0, 1024, 2048})
            screen_->paintBackground(left + 412, 284, 200, 200, background);
        gamma_ = RandrCrtcs::create(server_->displayName().c_str());
        ASSERT_NE(gamma_, nullptr);
        calibrated_ = test::calibrateDisplays(*gamma_);
        ASSERT_EQ(calibrated_.size(), 2u);
        monitors_ = screen_->monitors();
        ASSERT_EQ(monitors_.size(), 2u);
        lunaveil_ = std::make_unique<LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), server_->displayName());
    }
    bool ready() const { return !IsSkipped() && !HasFatalFailure(); }

    // What the middle of each of the first `count` monitors shows.
    bool everyMonitorShows(QRgb expected, std::size_t count = 2) const
    {
        return std::all_of(monitors_.begin(), monitors_.begin() + static_cast<std::ptrdiff_t>(count), [&](const QRect& monitor) {
            const auto shown = screen_->pixel(monitor.center().x(), monitor.center().y());
            return shown && near(*shown, expected);
        });
    }
    bool everyDisplayShows(const std::function<GammaRamp(std::size_t)>& ramp) const
    {
        const auto crtcs = test::crtcIds(*gamma_);
        return !crtcs.empty() && std::all_of(crtcs.begin(), crtcs.end(), [&](CrtcId crtc) {
            const auto shown = gamma_->getRamp(crtc);
            return shown && *shown == ramp(shown->size());
        });
    }
    bool everyDisplayShows(const Colour& colour, double alphaPercent) const
    {
        return everyDisplayShows([&](std::size_t size) { return rampFromFormula(size, *trueColorFormula(colour, alphaPercent)); });
    }
    // Each display shows its calibration with the tint laid over it (the formula is the unit tests').
    bool displaysBlend() const
    {
        return std::ranges::all_of(calibrated_, [&](const auto& entry) {
            const auto& [crtc, calibration] = entry;
            return gamma_->getRamp(crtc) == rampOverCalibration(calibration.size(), calibration, blendFormula(tintColour, opacity));
        });
    }
    bool displaysCalibrated() const
    {
        return std::all_of(calibrated_.begin(), calibrated_.end(),
                           [&](const auto& entry) { return gamma_->getRamp(entry.first) == entry.second; });
    }

    std::unique_ptr<XServer> server_;
    std::unique_ptr<test::ScreenProbe> screen_;
    std::unique_ptr<RandrCrtcs> gamma_;
    std::map<CrtcId, GammaRamp> calibrated_;
    std::vector<QRect> monitors_;
    std::unique_ptr<LunaveilProcess> lunaveil_;
};

// ---- Lunaveil on the bare server: the tint holds from the first tick ---------------------------

class LunaveilOnX : public OnAnXServer {
protected:
    void SetUp() override
    {
        OnAnXServer::SetUp();
        if (ready())
            lunaveil_->storeTint(false, tintColour, opacity * 100, true);
    }

    std::unique_ptr<ChildProcess> startPicom() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(server_->displayName()));
        auto picom = std::make_unique<ChildProcess>(QStringLiteral("picom"), test::picomArguments(), environment);
        EXPECT_TRUE(spinUntil([&] { return screen_->hasCompositor(); })) << "picom did not start (package picom)";
        return picom;
    }
};

TEST_F(LunaveilOnX, EveryWayOutGivesTheDisplaysBack)
{
    // Termination from a session, kill, Ctrl+C, Ctrl+\; twice in a row, as `timeout` and a closing
    // terminal send it; and while Lunaveil is still starting.
    const struct {
        int signal;
        int times;
        bool duringStart;
    } endings[] = {{SIGTERM, 1, false}, {SIGINT, 1, false}, {SIGHUP, 1, false}, {SIGQUIT, 1, false},
                   {SIGTERM, 2, false}, {SIGHUP, 2, false}, {SIGTERM, 1, true}};
    for (const auto& ending : endings) {
        SCOPED_TRACE(testing::Message() << "signal " << ending.signal << " x" << ending.times
                                        << (ending.duringStart ? " during start" : ""));
        ASSERT_TRUE(lunaveil_->start());
        if (ending.duringStart) {
            // As soon as it answers the signal, long before its windows or displays are set up.
            for (int ms = 0; ms < 10'000 && !lunaveil_->catches(ending.signal); ++ms)
                std::this_thread::sleep_for(1ms);
        } else {
            ASSERT_TRUE(spinUntil([&] { return displaysBlend(); }));
        }
        for (int i = 1; i < ending.times; ++i)
            lunaveil_->send(ending.signal);
        EXPECT_EQ(lunaveil_->endWith(ending.signal), 0);
        EXPECT_TRUE(displaysCalibrated());
    }

    // Signals whose default action would end it tinted change nothing; SIGUSR1 toggles the tint;
    // a SIGHUP its parent ignores (nohup) stays ignored.
    ASSERT_TRUE(lunaveil_->start({}, {SIGHUP}));
    ASSERT_TRUE(spinUntil([&] { return displaysBlend(); }));
    for (const int harmless : {SIGPIPE, SIGUSR2, SIGALRM, SIGHUP})
        lunaveil_->send(harmless);
    lunaveil_->send(SIGUSR1);
    EXPECT_TRUE(spinUntil([&] { return displaysCalibrated(); })) << "SIGUSR1 switches the tint off";
    lunaveil_->send(SIGUSR1);
    EXPECT_TRUE(spinUntil([&] { return displaysBlend(); })) << "and on again";
    EXPECT_TRUE(lunaveil_->running());

    // Its windows' X connection cut (xkill) while the server lives: it ends as a quit does.
    std::vector<xcb_window_t> windows;
    ASSERT_TRUE(spinUntil([&] { return !(windows = screen_->windowsOf(lunaveil_->pid(), true)).empty(); }));
    QProcess::execute(QStringLiteral("xkill"), {QStringLiteral("-display"), QString::fromStdString(server_->displayName()),
                                                 QStringLiteral("-id"), QString::number(windows.front())});
    EXPECT_EQ(lunaveil_->waitForExit(), 0);
    EXPECT_TRUE(displaysCalibrated());

    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(spinUntil([&] { return displaysBlend(); }));
    lunaveil_->endWith(SIGKILL);
    ASSERT_TRUE(displaysBlend()) << "gamma outlives a killed process";
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}), 0);
    EXPECT_TRUE(displaysCalibrated());
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}), 0) << "nothing left to restore is no error";

    lunaveil_->storeTint(true, Colour::blueColor(), 40, true);
    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(spinUntil([&] { return everyDisplayShows(Colour::blueColor(), 40); }));
    lunaveil_->endWith(SIGKILL);
    lunaveil_->storeTint(true, Colour::blueColor(), 40, false);  // no tint at the next start
    ASSERT_TRUE(lunaveil_->start());
    EXPECT_TRUE(spinUntil([&] { return displaysCalibrated(); })) << "the next start restores what the crash left";
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
}

// A server that ends under a tinting Lunaveil ends it too, with a word on why; its journal is of
// that server, which --reset knows ended, and one it cannot read it does not call unchanged.
TEST_F(LunaveilOnX, TheJournalIsOfItsOwnServerAndOutlivesIt)
{
    const fs::path runtime = lunaveil_->home().toStdString() + "/runtime";
    lunaveil_->captureErrors();
    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(spinUntil([&] { return displaysBlend(); }));
    gamma_.reset();
    screen_.reset();
    server_->stop();
    EXPECT_NE(lunaveil_->waitForExit(10000), 0) << "Lunaveil must end, neither hang nor spin";
    EXPECT_TRUE(lunaveil_->errors().contains(QStringLiteral("X11"))) << "a person is told why";
    ASSERT_TRUE(server_->restart());
    gamma_ = RandrCrtcs::create(server_->displayName().c_str());
    ASSERT_NE(gamma_, nullptr);
    for (auto& [crtc, ramp] : calibrated_)
        ramp = *gamma_->getRamp(crtc);  // the new server's own, unlike the calibration in the journal
    QString output;
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}, &output), 1);
    EXPECT_TRUE(output.contains(QStringLiteral("X server that has ended"))) << output.toStdString();
    EXPECT_TRUE(displaysCalibrated()) << "the old server's ramps were put on the new one";

    std::ofstream(runtime / "lunaveil" / ("gamma-" + server_->displayName().substr(1) + ".journal")) << "damaged";
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}, &output), 1);
    EXPECT_FALSE(output.contains(QStringLiteral("no display was left changed"))) << output.toStdString();
}

// Without a compositor an overlay would show as an opaque block, so the tint goes through the
// displays; once one runs, the overlays blend on every monitor as monitors come, go and move.
TEST_F(LunaveilOnX, TheTintFollowsTheCompositorAndOverlaysBlendOnEveryMonitorAsMonitorsComeGoAndMoveAndNoLeak)
{
    ASSERT_TRUE(lunaveil_->start());
    EXPECT_TRUE(spinUntil([&] { return displaysBlend(); })) << "the tint did not go over each display's calibration";
    EXPECT_TRUE(everyMonitorShows(background)) << "gamma acts at scan-out: clients see the untouched background";
    auto picom = startPicom();
    const QRgb expected = blend(background, tint, opacity);
    ASSERT_TRUE(spinUntil([&] { return displaysCalibrated() && everyMonitorShows(expected); }))
        << "with a compositor the overlays take over, and the displays keep their own transfer";
    monitors_.push_back(monitors_.back().translated(monitors_.back().width(), 0));  // the third, when on

    // The overlays are Lunaveil's mapped override-redirect windows; the popover (shown at start,
    // for want of a tray) is the one other mapped window of its own.
    const auto windows = [&](bool mappedOnly) { return screen_->windowsOf(lunaveil_->pid(), mappedOnly).size(); };
    const auto overlaysShown = [&](std::size_t monitors) {
        return windows(true) == monitors + 1 && everyMonitorShows(expected, monitors);
    };
    // Once a restart has settled these are all the windows it has: none left behind, hidden.
    const auto settled = [&] { return overlaysShown(2) && windows(false) == 3; };
    const int cycles = qEnvironmentVariable("LUNAVEIL_LONG_TESTS") == QStringLiteral("1") ? 100 : 20;
    long memoryAfterWarmUp = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_TRUE(server_->enableMonitor(2));
        ASSERT_TRUE(spinUntil([&] { return overlaysShown(3); })) << "cycle " << cycle << ": " << windows(true) << " shown";
        ASSERT_TRUE(server_->disableMonitor(2));
        ASSERT_TRUE(spinUntil([&] { return overlaysShown(2); })) << "cycle " << cycle << ": " << windows(true) << " shown";
        if (cycle == 2) {
            ASSERT_TRUE(spinUntil(settled)) << windows(false) << " windows after the warm-up";
            memoryAfterWarmUp = lunaveil_->residentKilobytes();
        }
    }
    EXPECT_TRUE(spinUntil(settled)) << "X windows leaked: " << windows(false) << " after the cycles";
    // A leaked overlay keeps 3 MB of backing store a cycle; under load the heap alone grows by up to 6 MB.
    EXPECT_LT(lunaveil_->residentKilobytes() - memoryAfterWarmUp, 12288) << "memory grew with every cycle";

    // A monitor moved, here to mirror the first, takes its overlay along: one tints the picture once.
    ASSERT_TRUE(server_->mirrorMonitor(1));
    EXPECT_TRUE(spinUntil([&] { return overlaysShown(1); })) << windows(true) << " shown over a mirror";
    picom.reset();
    EXPECT_TRUE(spinUntil([&] { return displaysBlend() && everyMonitorShows(background, 1); }))
        << "the compositor gone, the displays carry the tint again";
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
    EXPECT_TRUE(displaysCalibrated());
}

// ---- Lunaveil on a whole desktop ----------------------------------------------------------------

// Where each control of the popover sits, in the popover's coordinates: from the popover view
// Lunaveil builds, whose widgets have fixed geometries.
class PopoverLayout {
public:
    QRect rect(const QString& objectName) const
    {
        const auto* control = view_->findChild<const QWidget*>(objectName);
        return control != nullptr ? QRect(control->mapTo(view_, QPoint()), control->size()) : QRect();
    }
    QSize popoverSize() const { return view_->size(); }

private:
    PopoverViewController controller_;
    const QWidget* view_ = controller_.view();
};


class LunaveilDesktop : public OnAnXServer {
protected:
    void SetUp() override
    {
        OnAnXServer::SetUp();
        if (!ready())
            return;
        if (bus_.address().isEmpty())
            return unavailable("no session bus of its own (dbus-daemon, package dbus)");
        lunaveil_->setSessionBus(bus_.address());
        const QProcessEnvironment desktop = lunaveil_->environment();
        openbox_ = std::make_unique<ChildProcess>(QStringLiteral("openbox"), QStringList{QStringLiteral("--sm-disable")},
                                                  desktop);
        if (!spinUntil([&] { return screen_->hasWindowManager(); }))
            return unavailable("openbox did not start (package openbox)");
        picom_ = std::make_unique<ChildProcess>(QStringLiteral("picom"), test::picomArguments(), desktop);
        if (!spinUntil([&] { return screen_->hasCompositor(); }))
            return unavailable("picom did not start (package picom)");
        trayer_ = std::make_unique<ChildProcess>(
            QStringLiteral("trayer"),
            QStringLiteral("--edge top --align right --widthtype pixel --width 120 --height 32").split(QLatin1Char(' ')),
            desktop);
        if (!spinUntil([&] { return screen_->ownsSelection("_NET_SYSTEM_TRAY_S0"); }))
            return unavailable("trayer did not start (package trayer)");
        if (xdotool({QStringLiteral("version")}) != 0)
            return unavailable("xdotool does not run (package xdotool)");
        ASSERT_FALSE(layout_.popoverSize().isEmpty());
    }

    void unavailable(const std::string& why)
    {
        if (XServer::required())
            FAIL() << "the desktop for the end-to-end tests cannot start: " << why;
        GTEST_SKIP() << "the desktop for the end-to-end tests cannot start: " << why;
    }

    pid_t startLunaveil() const
    {
        EXPECT_TRUE(lunaveil_->start());
        return static_cast<pid_t>(lunaveil_->pid());
    }

    int xdotool(const QStringList& arguments) const
    {
        return lunaveil_->run(QStringLiteral("xdotool"), arguments);
    }
    void click(QPoint at) const
    {
        // The server takes the move and the click in order; "--sync" would wait forever for a
        // pointer that is already there.
        ASSERT_EQ(xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                           QStringLiteral("click"), QStringLiteral("1")}),
                  0);
    }

    // The popover of Lunaveil `pid` while it is open: its top-level window of the popover's size.
    xcb_window_t popover(pid_t pid) const
    {
        return screen_->find([&](xcb_window_t window, bool inTray) {
            return !inTray && screen_->pid(window) == pid && screen_->geometry(window).size() == layout_.popoverSize();
        });
    }
    bool popoverOpen(pid_t pid) const { return popover(pid) != XCB_NONE; }
    xcb_window_t greetings(pid_t pid) const
    {
        return screen_->find([&](xcb_window_t window, bool) {
            return screen_->pid(window) == pid && screen_->title(window) == QStringLiteral("Welcome to Lunaveil");
        });
    }
    bool greetingsShown(pid_t pid) const { return greetings(pid) != XCB_NONE; }
    xcb_window_t trayIcon(pid_t pid) const
    {
        return screen_->find([&](xcb_window_t window, bool inTray) { return inTray && screen_->pid(window) == pid; });
    }

    // Where the open popover of `pid` stands once it rests: for a moment after it opens it
    // follows the icon the tray is still placing.
    QRect restingPopover(pid_t pid) const
    {
        QRect last;
        int polls = 0;
        spinUntil([&] {
            const QRect now = screen_->geometry(popover(pid));
            polls = !now.isEmpty() && now == last ? polls + 1 : 0;
            last = now;
            return polls >= 10;
        }, 5s);
        return last;
    }
    // Clicks control `objectName` of the open popover at `offset` from its top-left corner, or
    // at its centre.
    void clickControl(pid_t pid, const QString& objectName, std::optional<QPoint> offset = std::nullopt) const
    {
        const QRect control = layout_.rect(objectName);
        ASSERT_FALSE(control.isEmpty()) << "no control " << objectName.toStdString() << " in the popover";
        const QRect popoverRect = restingPopover(pid);
        ASSERT_FALSE(popoverRect.isEmpty()) << "the popover is not open";
        click(popoverRect.topLeft() + control.topLeft() + offset.value_or(control.center() - control.topLeft()));
    }
    // A check box is clicked on its box, at its left edge and half its height.
    void clickCheckBox(pid_t pid, const QString& objectName) const
    {
        clickControl(pid, objectName, QPoint(7, layout_.rect(objectName).height() / 2));
    }
    void clickTrayIcon(pid_t pid) const
    {
        ASSERT_TRUE(spinUntil([&] { return trayIcon(pid) != XCB_NONE; })) << "Lunaveil has no icon in the tray";
        click(screen_->geometry(trayIcon(pid)).center());
    }
    test::PrivateBus bus_;
    std::unique_ptr<ChildProcess> openbox_;
    std::unique_ptr<ChildProcess> picom_;
    std::unique_ptr<ChildProcess> trayer_;
    const PopoverLayout layout_;
};

TEST_F(LunaveilDesktop, FirstStartGreetsFirstAClickOnGetStartedReachesItThroughThePopoverAndTheIconTogglesIt)
{
    const pid_t pid = startLunaveil();
    ASSERT_TRUE(spinUntil([&] { return greetingsShown(pid); })) << "no greetings window";
    EXPECT_FALSE(spinUntil([&] { return popoverOpen(pid); }, 1s)) << "the popover opened over the greetings";
    EXPECT_TRUE(screen_->hasProperty(greetings(pid), "_NET_WM_ICON")) << "the greetings window has no icon";
    EXPECT_TRUE(lunaveil_->settings().getFirstTimeOpened()) << "the greeting is not remembered";

    // The icon opens the popover over the greetings all the same; one click on "Get Started"
    // (bottom right, inside the window's margins) closes both, and the popover the start asked
    // for follows.
    const QRect greeted = screen_->geometry(greetings(pid));
    clickTrayIcon(pid);
    ASSERT_TRUE(spinUntil([&] { return popoverOpen(pid); })) << "a click on the icon did not open the popover";
    click(greeted.bottomRight() - QPoint(28 + 24, 20 + 10));
    EXPECT_TRUE(spinUntil([&] { return !greetingsShown(pid); })) << "the click that closed the popover missed Get Started";
    ASSERT_TRUE(spinUntil([&] { return popoverOpen(pid); })) << "the popover did not follow the greetings";

    clickTrayIcon(pid);
    EXPECT_TRUE(spinUntil([&] { return !popoverOpen(pid); })) << "a click on the icon left the popover open";
    clickTrayIcon(pid);
    EXPECT_TRUE(spinUntil([&] { return popoverOpen(pid); })) << "the next click on the icon did not open it again";
    clickTrayIcon(pid);
    EXPECT_TRUE(spinUntil([&] { return !popoverOpen(pid); })) << "a third click did not close it";
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
}

TEST_F(LunaveilDesktop, TheSwitchBlendsTheTintOverEveryWindowClicksGoThroughAndTrueColorsAndInvertColorsSetTheRamps)
{
    lunaveil_->storeTint(false, tintColour, 40, false);
    const pid_t pid = startLunaveil();
    ASSERT_TRUE(spinUntil([&] { return popoverOpen(pid); })) << "the popover did not open by itself";

    ASSERT_TRUE(spinUntil([&] { return everyMonitorShows(background); }));
    // Between the slider and the schedule: the popover's own background.
    const QPoint inPopover = restingPopover(pid).topLeft() + QPoint(200, 145);
    const auto popoverPixel = screen_->pixel(inPopover.x(), inPopover.y());
    ASSERT_TRUE(popoverPixel);

    clickCheckBox(pid, QStringLiteral("lunaveilCheckboxOutlet"));
    const QRgb tinted = blend(background, tint, 0.40);
    EXPECT_TRUE(spinUntil([&] { return everyMonitorShows(tinted); })) << "the switch tinted nothing";
    const auto popoverTinted = screen_->pixel(inPopover.x(), inPopover.y());
    EXPECT_TRUE(popoverTinted && near(*popoverTinted, *popoverPixel))
        << "the tint covers the popover";
    EXPECT_TRUE(displaysCalibrated()) << "a blended tint leaves the ramps alone";

    // A window another program maps now, which openbox raises and focuses, goes under the tint all
    // the same, and a click on it goes through the tint to it.
    const QRect second = monitors_.at(1);
    QProcess xev;
    xev.setProcessEnvironment(lunaveil_->environment());
    // Line by line: into a pipe, xev would keep its reports in its buffer.
    xev.start(QStringLiteral("stdbuf"), QStringLiteral("-oL xev -event button -geometry 200x200+%1+%2")
                                            .arg(second.left() + 100).arg(second.bottom() - 300).split(QLatin1Char(' ')));
    QRect target;
    ASSERT_TRUE(spinUntil([&] {
        target = screen_->geometry(screen_->find([&](xcb_window_t window, bool) { return screen_->title(window) == QStringLiteral("Event Tester"); }));
        return !target.isEmpty();
    })) << "xev shows no window (package x11-utils)";
    const QPoint inTarget = target.center() + QPoint(20, 20);  // clear of xev's own inner window
    EXPECT_TRUE(spinUntil([&] {
        const auto shown = screen_->pixel(inTarget.x(), inTarget.y());
        return shown && near(*shown, blend(qRgb(255, 255, 255), tint, 0.40));
    })) << "a window mapped later stands above the tint";
    clickTrayIcon(pid);  // the open popover would take the click, as a pop-up does
    ASSERT_TRUE(spinUntil([&] { return !popoverOpen(pid); }));
    click(inTarget);
    QByteArray reported;
    EXPECT_TRUE(spinUntil([&] {
        xev.waitForReadyRead(50);
        reported += xev.readAllStandardOutput();
        return reported.contains("ButtonRelease");
    })) << "the click stayed in the tint";
    xev.kill();
    xev.waitForFinished();

    // True Colors, on while the tint runs, takes the tint to the ramps.
    clickTrayIcon(pid);
    ASSERT_TRUE(spinUntil([&] { return popoverOpen(pid); }));
    clickCheckBox(pid, QStringLiteral("trueColorsCheckboxOutlet"));
    const auto trueColors = [&] {
        return everyDisplayShows(lunaveil_->settings().getBackgroundTrueColor(), lunaveil_->settings().getBackgroundAlpha());
    };
    EXPECT_TRUE(spinUntil(trueColors)) << "True Colors did not tint through the ramps";

    clickCheckBox(pid, QStringLiteral("inverseColorsCheckboxOutlet"));
    EXPECT_TRUE(spinUntil([&] {
        return everyDisplayShows([](std::size_t size) { return rampFromTable(size, invertedTable, invertedTable, invertedTable); });
    })) << "Invert Colors did not reach the ramps";
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
    EXPECT_TRUE(displaysCalibrated()) << "the displays did not get their own ramps back";
}

// Lunaveil from a terminal and a script: the command line and the bus interface switch and set
// the tint as the popover would, and the bus hears of the popover's changes.
TEST_F(LunaveilDesktop, TheCommandLineAndTheBusDriveTheTintAndHearOfThePopover)
{
    lunaveil_->storeTint(true, Colour::redColor(), 30, false);
    QString said;
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--status")}, &said), 1);
    EXPECT_TRUE(said.contains(QStringLiteral("not running"))) << said.toStdString();
    const pid_t pid = startLunaveil();
    ASSERT_TRUE(spinUntil([&] { return popoverOpen(pid); })) << "the popover did not open by itself";
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--toggle")}), 0);
    EXPECT_TRUE(spinUntil([&] { return everyDisplayShows(Colour::redColor(), 30); })) << "--toggle tinted nothing";

    QProcess busctl;
    busctl.setProcessEnvironment(lunaveil_->environment());
    busctl.start(QStringLiteral("busctl"), {QStringLiteral("--user"), QStringLiteral("monitor"), QStringLiteral("com.quorvex.Lunaveil")});
    ASSERT_TRUE(busctl.waitForStarted());
    const auto setProperty = [&](const char* name, const char* type, const char* value) {
        const QString command = QStringLiteral("--user set-property com.quorvex.Lunaveil /com/quorvex/Lunaveil com.quorvex.Lunaveil1 %1 %2 %3");
        return lunaveil_->run(QStringLiteral("busctl"),
                              command.arg(QLatin1String(name), QLatin1String(type), QLatin1String(value)).split(QLatin1Char(' ')));
    };
    EXPECT_EQ(setProperty("Opacity", "d", "50"), 0);
    EXPECT_TRUE(spinUntil([&] { return everyDisplayShows(Colour::redColor(), 50); })) << "Opacity reached no ramp";
    EXPECT_NE(setProperty("Opacity", "s", "half"), 0) << "a text was taken for the opacity";

    // The slider in the popover: the bus hears of it.
    const QRect slider = layout_.rect(QStringLiteral("alphaSlideviewOutlet"));
    clickControl(pid, QStringLiteral("alphaSlideviewOutlet"), QPoint(4, slider.height() / 2));
    EXPECT_TRUE(spinUntil([&] { return lunaveil_->settings().getBackgroundAlpha() < 50; }));
    // By the slider's own value: the monitor may have come up too late for the bus's own change.
    const QByteArray slid = "DOUBLE " + QByteArray::number(lunaveil_->settings().getBackgroundAlpha()) + ";";
    QByteArray heard;
    EXPECT_TRUE(spinUntil([&] {
        busctl.waitForReadyRead(50);
        heard += busctl.readAllStandardOutput();
        return heard.contains("PropertiesChanged") && heard.contains(slid);
    })) << heard.toStdString();
    busctl.kill();
    busctl.waitForFinished();

    ASSERT_EQ(lunaveil_->runOnce({QStringLiteral("--status"), QStringLiteral("--json")}, &said), 0);
    const QJsonObject status = QJsonDocument::fromJson(said.toUtf8()).object();
    EXPECT_TRUE(status.value(QStringLiteral("TintEnabled")).toBool()) << said.toStdString();
    EXPECT_EQ(status.value(QStringLiteral("Opacity")).toDouble(), lunaveil_->settings().getBackgroundAlpha());
    EXPECT_EQ(status.value(QStringLiteral("Colour")).toArray().size(), 3);

    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--off")}), 0);
    EXPECT_TRUE(spinUntil([&] { return displaysCalibrated(); })) << "--off left the ramps changed";
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--quit")}), 0);
    EXPECT_EQ(lunaveil_->waitForExit(), 0);
}

TEST_F(LunaveilDesktop, StartAtLoginRegistersTheLauncherWhichStartsOneLunaveil)
{
    lunaveil_->storeTint(false, Colour::orangeColor(), 25, false);
    const pid_t first = startLunaveil();
    ASSERT_TRUE(spinUntil([&] { return popoverOpen(first); })) << "the popover did not open by itself";

    clickCheckBox(first, QStringLiteral("startAtLoginCheckboxOutlet"));
    const fs::path entry = lunaveil_->home().toStdString() + "/config/autostart/com.quorvex.LunaveilLauncher.desktop";
    ASSERT_TRUE(spinUntil([&] { return fs::exists(entry); })) << "no autostart entry";
    EXPECT_TRUE(lunaveil_->settings().getStartAtLogin());
    const QString exec = QSettings(QString::fromStdString(entry), QSettings::IniFormat).value(QStringLiteral("Desktop Entry/Exec")).toString();
    std::error_code ec;
    EXPECT_EQ(fs::canonical(exec.toStdString(), ec), fs::canonical(LUNAVEIL_LAUNCHER)) << "Exec=" << exec.toStdString();
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);

    // As at login: the entry's program starts Lunaveil in a session of its own, and ends.
    const fs::path lock = lunaveil_->home().toStdString() + "/runtime/com.quorvex.Lunaveil.lock";
    ASSERT_FALSE(FileLock::isHeldElsewhere(lock));
    QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), QStringLiteral("desktop-test"));
    // The Lunaveil the launcher started, by its name on the bus; it leads a session of its own,
    // and so outlives the test but for the X server's end.
    const auto busOwner = [&] { return static_cast<pid_t>(bus.interface()->servicePid(QStringLiteral("com.quorvex.Lunaveil")).value()); };
    ASSERT_EQ(lunaveil_->run(exec, {}), 0);
    pid_t running = 0;
    ASSERT_TRUE(spinUntil([&] { return FileLock::isHeldElsewhere(lock) && (running = busOwner()) > 0; }))
        << "the launcher started no Lunaveil";

    // Started at login, it keeps its popover closed; a start by hand asks the running Lunaveil
    // to open it, and ends.
    EXPECT_TRUE(spinUntil([&] { return trayIcon(running) != XCB_NONE; })) << "Lunaveil has no icon in the tray";
    EXPECT_FALSE(spinUntil([&] { return popoverOpen(running); }, 1s)) << "the popover opened at login";
    EXPECT_EQ(lunaveil_->runOnce({}), 0);
    EXPECT_TRUE(spinUntil([&] { return popoverOpen(running); })) << "the running Lunaveil did not open its popover";

    ::kill(running, SIGTERM);
    EXPECT_TRUE(spinUntil([&] { return !FileLock::isHeldElsewhere(lock); }));
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop-test"));
}

}  // namespace
}  // namespace lunaveil
