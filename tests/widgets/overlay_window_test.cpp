// QtOverlayWindow on the offscreen platform: its geometry, and its fades.

#include "effects/QtOverlayWindow.h"
#include "OffscreenScreens.h"
#include "support/SpinEventLoop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

#include <cmath>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::spinFor;
using test::spinUntil;

std::unique_ptr<QtOverlayWindow> makeOverlay(int screen = 0)
{
    return std::make_unique<QtOverlayWindow>(QGuiApplication::screens().at(screen), nullptr);
}

// Click-through and staying on top are the X server's to prove (tests/e2e); here, the geometry.
TEST(QtOverlayWindowTest, CoversItsWholeScreenHiddenAtFirstFollowsItAndHidesWhenItGoesAway)
{
    test::OffscreenScreens screens;
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    for (int index : {0, 1}) {
        const auto overlay = makeOverlay(index);
        const QWindow* window = overlay->window();
        EXPECT_EQ(window->screen(), QGuiApplication::screens()[index]);
        EXPECT_EQ(window->geometry(), window->screen()->geometry());
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(overlay->alphaValue(), 0.0);
    }
    const auto overlay = makeOverlay(1);
    overlay->show();
    const QJsonObject left = test::OffscreenScreens::screen("left", {0, 0, 1024, 768});
    const QRect moved(1024, 100, 1280, 720);
    screens.setScreens({left, test::OffscreenScreens::screen("right", moved)});
    EXPECT_TRUE(spinUntil([&] { return overlay->window()->geometry() == moved; }, 3s));
    screens.setScreens({left});
    EXPECT_TRUE(spinUntil([&] { return QGuiApplication::screens().size() == 1; }, 3s));
    EXPECT_FALSE(overlay->window()->isVisible()) << "it would cover another screen in part";
    overlay->show();
    EXPECT_FALSE(overlay->window()->isVisible());
}

// The blend itself is checked on real servers (tests/e2e); here, where the values go.
TEST(QtOverlayWindowTest, FadesLandOnTheirEndValuesEachPropertyOnItsOwnAndLeaveNothingRunning)
{
    const auto overlay = makeOverlay();
    for (const auto& [set, kept] : {std::pair{3.0, 1.0}, std::pair{-1.0, 0.0}, std::pair{std::nan(""), 0.0}}) {
        overlay->setAlphaValue(set);
        EXPECT_EQ(overlay->alphaValue(), kept) << set;
    }
    overlay->show();
    overlay->animateTo(0.6, Colour::orangeColor(), 300ms);
    EXPECT_EQ(overlay->backgroundColor(), Colour::orangeColor()) << "the fill a running fade ends at";
    spinFor(60ms);
    overlay->setBackgroundColor(Colour::redColor());
    EXPECT_TRUE(overlay->isFading()) << "the alpha value goes on fading";
    const double between = overlay->alphaValue();
    ASSERT_TRUE(spinUntil([&] { return !overlay->isFading(); }));
    EXPECT_GT(between, 0.0);
    EXPECT_EQ(std::pair(overlay->alphaValue(), overlay->backgroundColor()), std::pair(0.6, Colour::redColor()));
    // An idle event loop wakes a handful of times; a leftover animation timer, hundreds.
    spinFor(50ms);
    EXPECT_LT(spinFor(500ms), 20);
    // A later fade starts from where the running one is; a zero duration applies at once.
    overlay->animateTo(1.0, std::nullopt, 400ms);
    spinUntil([&] { return overlay->alphaValue() > 0.7; });
    const double reached = overlay->alphaValue();
    overlay->animateTo(0.0, std::nullopt, 400ms);
    spinFor(20ms);
    EXPECT_LE(overlay->alphaValue(), reached) << "a jump to the end of the running fade";
    overlay->animateTo(0.7, Colour::greenColor(), 0ms);
    EXPECT_FALSE(overlay->isFading());
    EXPECT_EQ(std::pair(overlay->alphaValue(), overlay->backgroundColor()), std::pair(0.7, Colour::greenColor()));
}

}  // namespace
}  // namespace lunaveil
