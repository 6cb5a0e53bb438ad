// QtOverlayScreens on the offscreen platform: one overlay per screen, coalesced change calls; and
// the compositor watch where there is no X display to watch.

#include "effects/QtOverlayScreens.h"
#include "effects/QtOverlayWindow.h"
#include "OffscreenScreens.h"
#include "platform/x11/CompositorWatch.h"
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

const QJsonObject left = OffscreenScreens::screen(QStringLiteral("left"), {0, 0, 1024, 768});
const QJsonObject right = OffscreenScreens::screen(QStringLiteral("right"), {1664, 0, 800, 600});

TEST(QtOverlayScreensTest, GivesOneHiddenOverlayPerScreenInTheScreensOrderThatOutlivesIt)
{
    std::vector<std::unique_ptr<OverlayWindow>> windows;
    {
        QtOverlayScreens screens;
        EXPECT_EQ(screens.screenCount(), 2);
        windows = screens.createWindows();
    }
    ASSERT_EQ(windows.size(), 2u);
    for (qsizetype i = 0; i < 2; ++i) {
        const auto* overlay = dynamic_cast<const QtOverlayWindow*>(windows[static_cast<std::size_t>(i)].get());
        ASSERT_NE(overlay, nullptr);
        EXPECT_EQ(overlay->window()->screen(), QGuiApplication::screens()[i]);
        EXPECT_FALSE(overlay->window()->isVisible());
    }
    windows.front()->setAlphaValue(0.5);
    windows.front()->show();
    windows.front()->close();
}

TEST(QtOverlayScreensTest, AnnouncesAddedMovedAndRemovedScreensOnceTheyHaveSettled)
{
    OffscreenScreens offscreen;
    QtOverlayScreens screens;
    int calls = 0;
    screens.onScreensChanged = [&] { ++calls; };

    // A monitor plugged in, moving the other one over: two changes, one call.
    offscreen.setScreens({left, right, OffscreenScreens::screen(QStringLiteral("new"), {1024, 0, 640, 480})});
    EXPECT_EQ(calls, 0) << "called later, not from inside Qt's screen handling";
    ASSERT_TRUE(spinUntil([&] { return calls > 0; }, 3s));
    spinFor(QtOverlayScreens::settleTime * 2);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(screens.screenCount(), 3);
    EXPECT_EQ(screens.createWindows().size(), 3u);

    // A screen added later is watched too; changes in passes of their own, as Qt hands them
    // over under load, still make one call.
    offscreen.setScreens({left, right, OffscreenScreens::screen(QStringLiteral("new"), {1024, 0, 320, 240})});
    spinFor(QtOverlayScreens::settleTime / 4);
    offscreen.setScreens({left});
    ASSERT_TRUE(spinUntil([&] { return calls > 1; }, 3s));
    spinFor(QtOverlayScreens::settleTime * 2);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(screens.screenCount(), 1);
}

TEST(QtOverlayScreensTest, AMirrorOfAnotherScreensPictureGetsNoOverlayOfItsOwn)
{
    OffscreenScreens offscreen;
    // A projector cloning the left monitor at its own resolution, and an exact clone.
    offscreen.setScreens({left, right, OffscreenScreens::screen(QStringLiteral("projector"), {0, 0, 800, 600}),
                          OffscreenScreens::screen(QStringLiteral("clone"), {1664, 0, 800, 600})});
    QtOverlayScreens screens;
    EXPECT_EQ(screens.screenCount(), 2);
    const auto windows = screens.createWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(static_cast<const QtOverlayWindow*>(windows[0].get())->window()->screen()->name(), QStringLiteral("left"));
    EXPECT_EQ(static_cast<const QtOverlayWindow*>(windows[1].get())->window()->screen()->name(), QStringLiteral("right"));
}

TEST(QtOverlayScreensTest, AnnouncesNothingOnceDestroyed)
{
    OffscreenScreens offscreen;
    int calls = 0;
    {
        QtOverlayScreens screens;
        screens.onScreensChanged = [&] { ++calls; };
        offscreen.setScreens({left});
    }  // the announcement is queued, not yet delivered
    spinFor(100ms);
    EXPECT_EQ(calls, 0);
}

TEST(CompositorWatchWithoutDisplayTest, ReportsNoCompositorAndNeverChanges)
{
    CompositorWatch malformed("not a display");
    EXPECT_FALSE(malformed.isActive());
    // No server listens on this display (X11 display numbers stop well below it).
    CompositorWatch watch(":65000");
    int changes = 0;
    watch.onChanged = [&] { ++changes; };
    test::spinFor(100ms);
    EXPECT_FALSE(watch.isActive());
    EXPECT_EQ(changes, 0);
}

}  // namespace
}  // namespace lunaveil
