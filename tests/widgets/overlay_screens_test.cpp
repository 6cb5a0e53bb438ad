// QtOverlayScreens on the offscreen platform: one overlay per screen, none for a mirror, and one
// call for each settled change of the screens.

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

const QJsonObject left = OffscreenScreens::screen("left", {0, 0, 1024, 768});
const QJsonObject right = OffscreenScreens::screen("right", {1664, 0, 800, 600});

TEST(QtOverlayScreensTest, GivesOneHiddenOverlayPerScreenInOrderNoneForAMirrorAndTheyOutliveIt)
{
    OffscreenScreens offscreen;
    // A projector cloning the left monitor at its own resolution, and an exact clone of the right.
    offscreen.setScreens({left, right, OffscreenScreens::screen("projector", {0, 0, 800, 600}),
                          OffscreenScreens::screen("clone", {1664, 0, 800, 600})});
    std::vector<std::unique_ptr<OverlayWindow>> windows;
    {
        QtOverlayScreens screens;
        EXPECT_EQ(screens.screenCount(), 2);
        windows = screens.createWindows();
    }
    ASSERT_EQ(windows.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const QWindow* window = dynamic_cast<const QtOverlayWindow&>(*windows[i]).window();
        EXPECT_EQ(window->screen()->name(), i == 0 ? QStringLiteral("left") : QStringLiteral("right"));
        EXPECT_FALSE(window->isVisible());
    }
    windows.front()->setAlphaValue(0.5);
    windows.front()->show();
    windows.front()->close();
}

TEST(QtOverlayScreensTest, AnnouncesAddedMovedAndRemovedScreensOnceTheyHaveSettledAndNothingOnceDestroyed)
{
    OffscreenScreens offscreen;
    auto screens = std::make_unique<QtOverlayScreens>();
    int calls = 0;
    screens->onScreensChanged = [&] { ++calls; };
    // A monitor plugged in, moving the other one over: two changes, one call.
    offscreen.setScreens({left, right, OffscreenScreens::screen("new", {1024, 0, 640, 480})});
    EXPECT_EQ(calls, 0) << "called later, not from inside Qt's screen handling";
    ASSERT_TRUE(spinUntil([&] { return calls > 0; }, 3s));
    spinFor(QtOverlayScreens::settleTime * 2);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(screens->createWindows().size(), 3u);

    // A screen added later is watched too; changes in passes of their own, as Qt hands them over
    // under load, still make one call.
    offscreen.setScreens({left, right, OffscreenScreens::screen("new", {1024, 0, 320, 240})});
    spinFor(QtOverlayScreens::settleTime / 4);
    offscreen.setScreens({left});
    ASSERT_TRUE(spinUntil([&] { return calls > 1; }, 3s));
    spinFor(QtOverlayScreens::settleTime * 2);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(screens->screenCount(), 1);

    offscreen.setScreens({left, right});
    screens.reset();  // the announcement is queued, not yet delivered
    spinFor(100ms);
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace lunaveil
