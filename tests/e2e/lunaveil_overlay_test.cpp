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
#include <map>

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
        if (!server_->running()) {
            if (XServer::required())
                FAIL() << "no X server for the end-to-end tests: " << server_->failure();
            GTEST_SKIP() << "no X server for the end-to-end tests: " << server_->failure();
        }
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

}  // namespace
}  // namespace lunaveil
