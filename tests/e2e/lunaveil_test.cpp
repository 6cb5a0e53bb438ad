// Lunaveil itself on a real X server with two calibrated monitors and no desktop around it: the
// tint through overlays blended by a compositor, through the displays' ramps where none runs (laid
// over each one's calibration) or for True Colors, and the calibration given back on every way out.

#include "effects/TransferFormula.h"
#include "platform/x11/RandrCrtcs.h"
#include "support/Calibration.h"
#include "support/ChildProcess.h"
#include "support/LunaveilProcess.h"
#include "support/ScreenProbe.h"
#include "support/SpinEventLoop.h"
#include "support/XServer.h"

#include <QPoint>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <thread>
#include <vector>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::blend;
using test::ChildProcess;
using test::near;
using test::XServer;

constexpr QRgb background = qRgb(20, 40, 200);
constexpr QRgb tint = qRgb(255, 100, 0);
const Colour tintColour = Colour::rgb(1.0, 100.0 / 255.0, 0.0);
constexpr double opacity = 0.4;
// scripts/virtual-desktop lays its 1024x768 monitors out in rows of four.
QPoint centreOfMonitor(int index)
{
    return {1024 * (index % 4) + 512, 768 * (index / 4) + 384};
}

// LUNAVEIL_LONG_TESTS=1 (scripts/test --long) runs the long variants of the fault tests.
int faultRounds(int normal, int longer)
{
    const char* value = std::getenv("LUNAVEIL_LONG_TESTS");
    return value != nullptr && std::string_view(value) == "1" ? longer : normal;
}

class LunaveilOnX : public testing::Test {
protected:
    void SetUp() override
    {
        server_ = std::make_unique<XServer>(2);
        LUNAVEIL_REQUIRE_X_SERVER(*server_);
        probe_ = std::make_unique<test::ScreenProbe>(server_->displayName());
        probe_->paintBackground(0, 0, 4096, 1536, background);
        gamma_ = RandrCrtcs::create(server_->displayName().c_str());
        ASSERT_NE(gamma_, nullptr);
        originals_ = test::calibrateDisplays(*gamma_);
        ASSERT_EQ(originals_.size(), 2u);
        lunaveil_ = std::make_unique<test::LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), server_->displayName());
        lunaveil_->storeTint(false, tintColour, opacity * 100, true);
    }

    std::unique_ptr<ChildProcess> startPicom() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(server_->displayName()));
        auto picom = std::make_unique<ChildProcess>(QStringLiteral("picom"), test::picomArguments(), environment);
        EXPECT_TRUE(waitFor([&] { return probe_->hasCompositor(); })) << "picom did not start (package picom)";
        return picom;
    }

    // Conditions the server decides, of which this process hears nothing: looked at every 20 ms.
    static bool waitFor(const std::function<bool()>& condition) { return test::spinUntil(condition, 10s); }

    bool everyMonitorShows(QRgb expected, int monitors = 2) const
    {
        for (int i = 0; i < monitors; ++i) {
            const QPoint at = centreOfMonitor(i);
            const auto shown = probe_->pixel(at.x(), at.y());
            if (!shown || !near(*shown, expected))
                return false;
        }
        return true;
    }
    bool showsFormula(CrtcId crtc, const TransferFormula& formula) const
    {
        const auto ramp = gamma_->getRamp(crtc);
        return ramp && *ramp == rampFromFormula(ramp->size(), formula);
    }
    bool everyDisplayShows(const TransferFormula& formula) const
    {
        const auto crtcs = test::crtcIds(*gamma_);
        return std::all_of(crtcs.begin(), crtcs.end(), [&](CrtcId crtc) { return showsFormula(crtc, formula); });
    }
    // Each display shows its calibration with the tint laid over it: calib(v)·(1−a) + c·a per
    // channel, within the ramps' rounding.
    bool displaysBlend() const
    {
        const Rgb c = tintColour.toRgb();
        return std::all_of(originals_.begin(), originals_.end(), [&](const auto& entry) {
            const auto ramp = gamma_->getRamp(entry.first);
            const auto blends = [&](std::vector<std::uint16_t> GammaRamp::*channel, double component) {
                return std::ranges::equal(*ramp.*channel, entry.second.*channel, [&](double shown, double calibrated) {
                    return std::abs(shown - (calibrated * (1 - opacity) + component * opacity * 65535)) <= 1;
                });
            };
            return ramp && blends(&GammaRamp::red, c.red) && blends(&GammaRamp::green, c.green) &&
                   blends(&GammaRamp::blue, c.blue);
        });
    }
    bool displaysCalibrated() const
    {
        return std::all_of(originals_.begin(), originals_.end(),
                           [&](const auto& entry) { return gamma_->getRamp(entry.first) == entry.second; });
    }

    std::unique_ptr<XServer> server_;
    std::unique_ptr<test::ScreenProbe> probe_;
    std::unique_ptr<RandrCrtcs> gamma_;
    std::map<CrtcId, GammaRamp> originals_;
    std::unique_ptr<test::LunaveilProcess> lunaveil_;
};

TEST_F(LunaveilOnX, TrueColorsHoldsEveryMonitorAgainstOtherProgramsAndTintsANewOne)
{
    const TransferFormula red = *trueColorFormula(Colour::redColor(), 60);
    lunaveil_->storeTint(true, Colour::redColor(), 60, true);
    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(waitFor([&] { return everyDisplayShows(red); }));
    EXPECT_TRUE(everyMonitorShows(background)) << "True Colors shows no overlay";

    const CrtcId first = originals_.begin()->first;
    ASSERT_TRUE(gamma_->setRamp(first, originals_.begin()->second));
    EXPECT_TRUE(waitFor([&] { return showsFormula(first, red); })) << "another program's change stayed";

    ASSERT_TRUE(server_->enableMonitor(2));
    EXPECT_TRUE(waitFor([&] { return test::crtcIds(*gamma_).size() == 3 && everyDisplayShows(red); }));
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
    EXPECT_TRUE(displaysCalibrated());
}

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
            ASSERT_TRUE(waitFor([&] { return displaysBlend(); }));
        }
        for (int i = 1; i < ending.times; ++i)
            lunaveil_->send(ending.signal);
        EXPECT_EQ(lunaveil_->endWith(ending.signal), 0);
        EXPECT_TRUE(displaysCalibrated());
    }

    // Signals whose default action would end it tinted change nothing; SIGUSR1 toggles the tint;
    // a SIGHUP its parent ignores (nohup) stays ignored.
    ASSERT_TRUE(lunaveil_->start({}, {SIGHUP}));
    ASSERT_TRUE(waitFor([&] { return displaysBlend(); }));
    for (const int harmless : {SIGPIPE, SIGUSR2, SIGALRM, SIGHUP})
        lunaveil_->send(harmless);
    lunaveil_->send(SIGUSR1);
    EXPECT_TRUE(waitFor([&] { return displaysCalibrated(); })) << "SIGUSR1 switches the tint off";
    lunaveil_->send(SIGUSR1);
    EXPECT_TRUE(waitFor([&] { return displaysBlend(); })) << "and on again";
    EXPECT_TRUE(lunaveil_->running());

    // Its windows' X connection cut (xkill) while the server lives: it ends as a quit does.
    std::vector<xcb_window_t> windows;
    ASSERT_TRUE(waitFor([&] { return !(windows = probe_->windowsOf(lunaveil_->pid(), true)).empty(); }));
    QProcess::execute(QStringLiteral("xkill"), {QStringLiteral("-display"), QString::fromStdString(server_->displayName()),
                                                 QStringLiteral("-id"), QString::number(windows.front())});
    EXPECT_EQ(lunaveil_->waitForExit(), 0);
    EXPECT_TRUE(displaysCalibrated());

    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(waitFor([&] { return displaysBlend(); }));
    lunaveil_->endWith(SIGKILL);
    ASSERT_TRUE(displaysBlend()) << "gamma outlives a killed process";
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}), 0);
    EXPECT_TRUE(displaysCalibrated());
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}), 0) << "nothing left to restore is no error";

    const TransferFormula blue = *trueColorFormula(Colour::blueColor(), 40);
    lunaveil_->storeTint(true, Colour::blueColor(), 40, true);
    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(waitFor([&] { return everyDisplayShows(blue); }));
    lunaveil_->endWith(SIGKILL);
    lunaveil_->storeTint(true, Colour::blueColor(), 40, false);  // no tint at the next start
    ASSERT_TRUE(lunaveil_->start());
    EXPECT_TRUE(waitFor([&] { return displaysCalibrated(); })) << "the next start restores what the crash left";
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
}

// The journals: one per run where no lock can be taken, each of one server, however its display is named.
TEST_F(LunaveilOnX, JournalsAreOneARunWithoutTheLockEachOfItsOwnServerHoweverTheDisplayIsNamed)
{
    const std::filesystem::path runtime = lunaveil_->home().toStdString() + "/runtime";
    std::filesystem::create_directory(runtime / "com.quorvex.Lunaveil.lock");  // no lock can be taken there
    const auto journals = [&] {
        std::error_code ec;
        const std::filesystem::directory_iterator entries(runtime / "lunaveil", ec);
        return std::count_if(begin(entries), end(entries), [](const auto& entry) {
            return entry.path().filename().string().starts_with("gamma-");
        });
    };
    test::LunaveilProcess second(*lunaveil_, server_->displayName());
    test::LunaveilProcess third(*lunaveil_, server_->displayName());
    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(waitFor([&] { return displaysBlend() && journals() == 1; }));
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(waitFor([&] { return journals() == 2; }));
    EXPECT_EQ(second.endWith(SIGTERM), 0);
    EXPECT_EQ(journals(), 1) << "the second run removed the first's journal";

    ASSERT_TRUE(third.start());
    ASSERT_TRUE(waitFor([&] { return journals() == 2; }));
    lunaveil_->endWith(SIGKILL);
    third.endWith(SIGKILL);
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}), 0);
    EXPECT_TRUE(displaysCalibrated()) << "the first run's originals, not the tint the third took for them";
    EXPECT_EQ(journals(), 0);

    // With the lock: a journal left by a killed run is of its server, which --reset knows ended.
    std::filesystem::remove(runtime / "com.quorvex.Lunaveil.lock");
    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(waitFor([&] { return displaysBlend(); }));
    lunaveil_->endWith(SIGKILL);
    gamma_.reset();
    probe_.reset();
    ASSERT_TRUE(server_->restart());
    gamma_ = RandrCrtcs::create(server_->displayName().c_str());
    ASSERT_NE(gamma_, nullptr);
    for (auto& [crtc, ramp] : originals_)
        ramp = *gamma_->getRamp(crtc);  // the new server's own, unlike the calibration in the journal
    QString output;
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}, &output), 1);
    EXPECT_TRUE(output.contains(QStringLiteral("X server that has ended"))) << output.toStdString();
    EXPECT_TRUE(displaysCalibrated()) << "the old server's ramps were put on the new one";

    test::LunaveilProcess viaSocket(*lunaveil_, "unix" + server_->displayName());
    ASSERT_TRUE(viaSocket.start());
    ASSERT_TRUE(waitFor([&] { return displaysBlend(); }));
    viaSocket.endWith(SIGKILL);
    EXPECT_EQ(test::LunaveilProcess(*lunaveil_, server_->displayName() + ".0").runOnce({QStringLiteral("--reset")}), 0);
    EXPECT_TRUE(displaysCalibrated()) << "unix:N and :N.0 are one display";

    // What it cannot read, --reset does not call unchanged.
    std::ofstream(lunaveil_->home().toStdString() + "/runtime/lunaveil/gamma-" + server_->displayName().substr(1)
                  + ".journal") << "damaged";
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}, &output), 1);
    EXPECT_FALSE(output.contains(QStringLiteral("no display was left changed"))) << output.toStdString();
}

TEST_F(LunaveilOnX, WithoutACompositorThePlainTintGoesThroughTheDisplaysAndFollowsOneStarting)
{
    ASSERT_TRUE(lunaveil_->start());
    EXPECT_TRUE(waitFor([&] { return displaysBlend(); })) << "the tint did not go over each display's calibration";
    // No opaque block: what clients see is the untouched background (gamma acts at scan-out).
    EXPECT_TRUE(everyMonitorShows(background));

    {
        const auto picom = startPicom();
        EXPECT_TRUE(waitFor([&] { return displaysCalibrated() && everyMonitorShows(blend(background, tint, opacity)); }))
            << "with a compositor the overlays take over";
    }
    EXPECT_TRUE(waitFor([&] { return displaysBlend() && everyMonitorShows(background); }))
        << "the compositor gone, the displays carry the tint again";

    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
    EXPECT_TRUE(displaysCalibrated());
}

TEST_F(LunaveilOnX, OverlaysBlendOnEveryMonitorAsMonitorsComeGoAndMoveOnePerPictureAndNoLeak)
{
    const auto picom = startPicom();
    ASSERT_TRUE(lunaveil_->start());
    const QRgb expected = blend(background, tint, opacity);
    ASSERT_TRUE(waitFor([&] { return everyMonitorShows(expected); }));
    EXPECT_TRUE(displaysCalibrated()) << "with a compositor the displays keep their own transfer";

    // The overlays are Lunaveil's mapped override-redirect windows; the popover (shown at start,
    // for want of a tray) is the one other mapped window of its own.
    const auto windows = [&](bool mappedOnly) { return probe_->windowsOf(lunaveil_->pid(), mappedOnly).size(); };
    const auto overlaysShown = [&](std::size_t monitors) {
        return windows(true) == monitors + 1 && everyMonitorShows(expected, static_cast<int>(monitors));
    };
    // Once a restart has settled these are all the windows it has: none left behind, hidden.
    const auto settled = [&] { return overlaysShown(2) && windows(false) == 3; };
    const int cycles = faultRounds(20, 100);
    long memoryAfterWarmUp = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_TRUE(server_->enableMonitor(2));
        ASSERT_TRUE(waitFor([&] { return overlaysShown(3); })) << "cycle " << cycle << ": " << windows(true) << " shown";
        ASSERT_TRUE(server_->disableMonitor(2));
        ASSERT_TRUE(waitFor([&] { return overlaysShown(2); })) << "cycle " << cycle << ": " << windows(true) << " shown";
        if (cycle == 2) {
            ASSERT_TRUE(waitFor(settled)) << windows(false) << " windows after the warm-up";
            memoryAfterWarmUp = lunaveil_->residentKilobytes();
        }
    }
    EXPECT_TRUE(waitFor(settled)) << "X windows leaked: " << windows(false) << " after the cycles";
    EXPECT_LT(lunaveil_->residentKilobytes() - memoryAfterWarmUp, 4096) << "memory grew with every cycle";

    // A monitor moved, here to mirror the first, takes its overlay along: one tints the picture once.
    ASSERT_TRUE(server_->mirrorMonitor(1));
    EXPECT_TRUE(waitFor([&] { return overlaysShown(1); })) << windows(true) << " shown over a mirror";
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
    EXPECT_TRUE(waitFor([&] { return everyMonitorShows(background, 1); })) << "the overlays went with it";
}

TEST_F(LunaveilOnX, AVanishedServerEndsLunaveilWithAMessage)
{
    lunaveil_->captureErrors();
    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(waitFor([&] { return displaysBlend(); }));
    gamma_.reset();
    probe_.reset();
    server_->stop();
    EXPECT_NE(lunaveil_->waitForExit(10000), 0) << "Lunaveil must end, neither hang nor spin";
    EXPECT_FALSE(lunaveil_->running());
    EXPECT_TRUE(lunaveil_->errors().contains(QStringLiteral("X11"))) << "a person is told why";
}

}  // namespace
}  // namespace lunaveil
