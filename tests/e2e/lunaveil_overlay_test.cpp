// Lunaveil's plain tint on a real X server with two monitors: overlay windows blended by a
// compositor, the display transfer where none runs, and the switch between the two.

#include "effects/TransferFormula.h"
#include "platform/X11DisplayGamma.h"
#include "support/ChildProcess.h"
#include "support/LunaveilProcess.h"
#include "support/ScreenProbe.h"
#include "support/SpinEventLoop.h"
#include "support/XServer.h"

#include <QPoint>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <map>
#include <string_view>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::blend;
using test::ChildProcess;
using test::near;
using test::picomArguments;
using test::XServer;

constexpr QRgb background = qRgb(20, 40, 200);
constexpr QRgb tint = qRgb(255, 100, 0);
constexpr double opacity = 0.4;
// scripts/virtual-desktop lays its 1024x768 monitors out in rows of four.
QPoint centreOfMonitor(int index)
{
    return {1024 * (index % 4) + 512, 768 * (index / 4) + 384};
}

class LunaveilPlainTint : public testing::Test {
protected:
    void SetUp() override
    {
        server_ = std::make_unique<XServer>(2);
        LUNAVEIL_REQUIRE_X_SERVER(*server_);
        probe_ = std::make_unique<test::ScreenProbe>(server_->displayName());
        probe_->paintBackground(0, 0, 4096, 1536, background);
        gamma_ = X11DisplayGamma::create(server_->displayName().c_str());
        ASSERT_NE(gamma_, nullptr);
        for (const CrtcId crtc : gamma_->crtcs())
            originals_[crtc] = *gamma_->getRamp(crtc);

        lunaveil_ = std::make_unique<test::LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), server_->displayName());
        SettingsDataAccess settings = lunaveil_->settings();
        settings.setFirstTimeOpened(true);
        settings.setTrueColor(false);
        settings.setBackgroundColor(Colour::rgb(1.0, 100.0 / 255.0, 0.0));
        settings.setBackgroundAlpha(opacity * 100);
        const TimePoint now = systemNow();
        settings.setScheduleIsActive(true, now - 1h, now + 1h);  // the tint comes on at the first tick
    }

    std::unique_ptr<ChildProcess> startPicom() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(server_->displayName()));
        return std::make_unique<ChildProcess>(QStringLiteral("picom"), picomArguments(), environment);
    }

    // Conditions the server decides, of which this process hears nothing: looked at every 20 ms.
    static bool waitFor(const std::function<bool()>& condition) { return test::spinUntil(condition, 10s); }

    bool monitorShows(int index, QRgb expected) const
    {
        const QPoint at = centreOfMonitor(index);
        const auto shown = probe_->pixel(at.x(), at.y());
        return shown && near(*shown, expected);
    }
    bool everyMonitorShows(QRgb expected, int monitors = 2) const
    {
        for (int i = 0; i < monitors; ++i)
            if (!monitorShows(i, expected))
                return false;
        return true;
    }
    bool displaysBlend()
    {
        const TransferFormula formula = blendFormula(Colour::rgb(1.0, 100.0 / 255.0, 0.0), opacity);
        for (const CrtcId crtc : gamma_->crtcs()) {
            const auto ramp = gamma_->getRamp(crtc);
            if (!ramp || *ramp != rampFromFormula(ramp->size(), formula))
                return false;
        }
        return true;
    }
    bool displaysCalibrated()
    {
        for (const auto& [crtc, ramp] : originals_)
            if (gamma_->getRamp(crtc) != ramp)
                return false;
        return true;
    }

    std::unique_ptr<XServer> server_;
    std::unique_ptr<test::ScreenProbe> probe_;
    std::unique_ptr<X11DisplayGamma> gamma_;
    std::map<CrtcId, GammaRamp> originals_;
    std::unique_ptr<test::LunaveilProcess> lunaveil_;
};

TEST_F(LunaveilPlainTint, OverlaysBlendOnEveryMonitorAndCoverOneAddedLater)
{
    const auto picom = startPicom();
    ASSERT_TRUE(waitFor([&] { return probe_->hasCompositor(); })) << "picom did not start (package picom)";
    ASSERT_TRUE(lunaveil_->start());

    const QRgb expected = blend(background, tint, opacity);
    EXPECT_TRUE(waitFor([&] { return everyMonitorShows(expected); }));
    EXPECT_TRUE(displaysCalibrated()) << "with a compositor the displays keep their own transfer";

    ASSERT_TRUE(server_->enableMonitor(2));
    EXPECT_TRUE(waitFor([&] { return everyMonitorShows(expected, 3); })) << "the new monitor is tinted too";

    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
    EXPECT_TRUE(waitFor([&] { return everyMonitorShows(background, 3); }));
}

TEST_F(LunaveilPlainTint, WithoutACompositorTheTintGoesThroughTheDisplaysAndFollowsOneStarting)
{
    ASSERT_TRUE(lunaveil_->start());
    EXPECT_TRUE(waitFor([&] { return displaysBlend(); }));
    // No opaque block: what clients see is the untouched background (gamma acts at scan-out).
    EXPECT_TRUE(everyMonitorShows(background));

    {
        const auto picom = startPicom();
        ASSERT_TRUE(waitFor([&] { return probe_->hasCompositor(); })) << "picom did not start (package picom)";
        EXPECT_TRUE(waitFor([&] { return displaysCalibrated() && everyMonitorShows(blend(background, tint, opacity)); }))
            << "with a compositor the overlays take over";
    }
    EXPECT_TRUE(waitFor([&] { return displaysBlend() && everyMonitorShows(background); }))
        << "the compositor gone, the displays carry the tint again";

    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
    EXPECT_TRUE(displaysCalibrated());
}

TEST_F(LunaveilPlainTint, EveryWayOutGivesTheDisplaysBack)
{
    for (const int signal : {SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        ASSERT_TRUE(lunaveil_->start());
        ASSERT_TRUE(waitFor([&] { return displaysBlend(); }));
        EXPECT_EQ(lunaveil_->endWith(signal), 0);
        EXPECT_TRUE(displaysCalibrated());
    }

    ASSERT_TRUE(lunaveil_->start());
    ASSERT_TRUE(waitFor([&] { return displaysBlend(); }));
    lunaveil_->endWith(SIGKILL);
    ASSERT_TRUE(displaysBlend()) << "gamma outlives a killed process";
    EXPECT_EQ(lunaveil_->runOnce({QStringLiteral("--reset")}), 0);
    EXPECT_TRUE(displaysCalibrated());
}

// LUNAVEIL_LONG_TESTS=1 (scripts/test --long) runs the long variants of the fault tests.
int faultRounds(int normal, int longer)
{
    const char* value = std::getenv("LUNAVEIL_LONG_TESTS");
    return value != nullptr && std::string_view(value) == "1" ? longer : normal;
}

TEST_F(LunaveilPlainTint, MonitorsComingAndGoingLeaveOneOverlayPerScreenAndNoLeak)
{
    const auto picom = startPicom();
    ASSERT_TRUE(waitFor([&] { return probe_->hasCompositor(); })) << "picom did not start (package picom)";
    ASSERT_TRUE(lunaveil_->start());
    const QRgb expected = blend(background, tint, opacity);
    ASSERT_TRUE(waitFor([&] { return everyMonitorShows(expected); }));

    // The overlays are Lunaveil's mapped override-redirect windows; the popover (shown at start,
    // for want of a tray) is the one other mapped window of its own.
    const auto overlaysShown = [&](std::size_t monitors) {
        return probe_->windowsOf(lunaveil_->pid(), true).size() == monitors + 1 && everyMonitorShows(expected, static_cast<int>(monitors));
    };
    const int cycles = faultRounds(20, 100);
    std::size_t windowsAfterWarmUp = 0;
    long memoryAfterWarmUp = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_TRUE(server_->enableMonitor(2));
        ASSERT_TRUE(waitFor([&] { return overlaysShown(3); }))
            << "cycle " << cycle << ": " << probe_->windowsOf(lunaveil_->pid(), true).size() << " windows shown";
        ASSERT_TRUE(server_->disableMonitor(2));
        ASSERT_TRUE(waitFor([&] { return overlaysShown(2); }))
            << "cycle " << cycle << ": " << probe_->windowsOf(lunaveil_->pid(), true).size() << " windows shown";
        if (cycle == 2) {
            windowsAfterWarmUp = probe_->windowsOf(lunaveil_->pid(), false).size();
            memoryAfterWarmUp = lunaveil_->residentKilobytes();
        }
    }
    // A restart may still be settling: a leak never does.
    EXPECT_TRUE(waitFor([&] { return probe_->windowsOf(lunaveil_->pid(), false).size() <= windowsAfterWarmUp; }))
        << "X windows leaked: " << probe_->windowsOf(lunaveil_->pid(), false).size() << " after the cycles, "
        << windowsAfterWarmUp << " before";
    EXPECT_LT(lunaveil_->residentKilobytes() - memoryAfterWarmUp, 4096) << "memory grew with every cycle";
    EXPECT_EQ(lunaveil_->endWith(SIGTERM), 0);
}

TEST_F(LunaveilPlainTint, AVanishedServerEndsLunaveilWithAMessage)
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
