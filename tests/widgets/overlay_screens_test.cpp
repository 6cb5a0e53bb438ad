// QtOverlayScreens on the offscreen platform: one overlay per screen, coalesced change calls.

#include "effects/QtOverlayScreens.h"
#include "effects/QtOverlayWindow.h"
#include "OffscreenScreens.h"
#include "support/SpinEventLoop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::OffscreenScreens;
using test::spinFor;
using test::spinUntil;

const QRect leftGeometry(0, 0, 1024, 768);
const QRect rightGeometry(1024, 0, 800, 600);

TEST(QtOverlayScreensTest, GivesOneHiddenOverlayPerScreenInTheScreensOrder)
{
    QtOverlayScreens screens;
    EXPECT_EQ(screens.screenCount(), 2);

    const auto windows = screens.createWindows();
    ASSERT_EQ(windows.size(), 2u);
    const QList<QScreen*> qtScreens = QGuiApplication::screens();
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto* overlay = dynamic_cast<const QtOverlayWindow*>(windows[i].get());
        ASSERT_NE(overlay, nullptr);
        EXPECT_EQ(overlay->window()->screen(), qtScreens[static_cast<qsizetype>(i)]);
        EXPECT_EQ(overlay->window()->geometry(), qtScreens[static_cast<qsizetype>(i)]->geometry());
        EXPECT_FALSE(overlay->window()->isVisible());
        EXPECT_EQ(overlay->alphaValue(), 0.0);
    }
}

TEST(QtOverlayScreensTest, AnnouncesAddedMovedAndRemovedScreensOncePerEventLoopPass)
{
    OffscreenScreens offscreen;
    QtOverlayScreens screens;
    int calls = 0;
    screens.onScreensChanged = [&] { ++calls; };

    // A monitor plugged in, moving the other one over: two changes, one call.
    offscreen.setScreens({OffscreenScreens::screen(QStringLiteral("left"), leftGeometry),
                          OffscreenScreens::screen(QStringLiteral("right"), rightGeometry.translated(640, 0)),
                          OffscreenScreens::screen(QStringLiteral("new"), {1024, 0, 640, 480})});
    EXPECT_EQ(calls, 0) << "called on a later pass, not from inside Qt's screen handling";
    ASSERT_TRUE(spinUntil([&] { return calls > 0; }, 3s));
    spinFor(50ms);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(screens.screenCount(), 3);
    EXPECT_EQ(screens.createWindows().size(), 3u);

    // A screen added later is watched too.
    offscreen.setScreens({OffscreenScreens::screen(QStringLiteral("left"), leftGeometry),
                          OffscreenScreens::screen(QStringLiteral("right"), rightGeometry.translated(640, 0)),
                          OffscreenScreens::screen(QStringLiteral("new"), {1024, 0, 320, 240})});
    ASSERT_TRUE(spinUntil([&] { return calls > 1; }, 3s));
    EXPECT_EQ(calls, 2);

    offscreen.setScreens({OffscreenScreens::screen(QStringLiteral("left"), leftGeometry)});
    ASSERT_TRUE(spinUntil([&] { return calls > 2; }, 3s));
    spinFor(50ms);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(screens.screenCount(), 1);
}

TEST(QtOverlayScreensTest, AnnouncesNothingOnceDestroyed)
{
    OffscreenScreens offscreen;
    int calls = 0;
    {
        QtOverlayScreens screens;
        screens.onScreensChanged = [&] { ++calls; };
        offscreen.setScreens({OffscreenScreens::screen(QStringLiteral("left"), leftGeometry)});
    }  // the announcement is queued, not yet delivered
    spinFor(100ms);
    EXPECT_EQ(calls, 0);
}

TEST(QtOverlayScreensTest, OverlaysOutliveTheScreensObject)
{
    std::vector<std::unique_ptr<OverlayWindow>> windows;
    {
        QtOverlayScreens screens;
        windows = screens.createWindows();
    }
    ASSERT_FALSE(windows.empty());
    windows.front()->setAlphaValue(0.5);
    windows.front()->show();
    windows.front()->close();
}

}  // namespace
}  // namespace lunaveil
