// QtOverlayWindow on the offscreen platform: flags, geometry, painted pixels and fades.

#include "effects/QtOverlayWindow.h"
#include "OffscreenScreens.h"
#include "support/SpinEventLoop.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

#include <cstdlib>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::spinFor;
using test::spinUntil;

constexpr Colour orange = Colour::rgb(1.0, 100.0 / 255.0, 0.0, 1.0);

// The window's own pixel at its centre, premultiplied as it goes to the screen. Qt 6.4's offscreen
// backing store keeps no alpha channel, so only the colour channels are compared, to within 1;
// the end-to-end tests check the blend on a real X server. Painting follows on the next frame.
::testing::AssertionResult showsPixel(const QtOverlayWindow& overlay, QRgb expected)
{
    QWindow* window = overlay.window();
    QRgb pixel = 0;
    const bool shown = spinUntil(
        [&] {
            if (!window->isExposed())
                return false;
            const QImage image = window->screen()->grabWindow(window->winId()).toImage().convertToFormat(
                QImage::Format_ARGB32_Premultiplied);
            if (image.isNull())
                return false;
            pixel = image.pixel(image.width() / 2, image.height() / 2);
            return std::abs(qRed(pixel) - qRed(expected)) <= 1 && std::abs(qGreen(pixel) - qGreen(expected)) <= 1
                && std::abs(qBlue(pixel) - qBlue(expected)) <= 1;
        },
        3s);
    if (shown)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected premultiplied ARGB " << std::hex << expected << ", shows "
                                         << pixel;
}

std::unique_ptr<QtOverlayWindow> makeOverlay(int screen = 0)
{
    return std::make_unique<QtOverlayWindow>(QGuiApplication::screens().at(screen), nullptr);
}

TEST(QtOverlayWindowTest, PaintsItsClampedFillAtFillAlphaTimesAlphaValueWhileShown)
{
    const auto overlay = makeOverlay(1);
    overlay->setBackgroundColor(orange.colorWithAlphaComponent(0.8));
    overlay->setAlphaValue(0.5);
    overlay->show();
    // 0.8 × 0.5 = 0.4: alpha 102, each channel premultiplied by it.
    EXPECT_TRUE(showsPixel(*overlay, qRgba(102, 40, 0, 102)));
    overlay->setBackgroundColor(Colour::grey(1.0, 0.5));  // grey spreads over all three channels
    overlay->setAlphaValue(1.0);
    EXPECT_TRUE(showsPixel(*overlay, qRgba(128, 128, 128, 128)));

    for (const auto& [set, kept] : {std::pair{3.0, 1.0}, std::pair{-1.0, 0.0}, std::pair{std::nan(""), 0.0}}) {
        overlay->setAlphaValue(set);
        EXPECT_EQ(overlay->alphaValue(), kept) << set;
    }
    EXPECT_TRUE(showsPixel(*overlay, qRgba(0, 0, 0, 0)));
    overlay->setBackgroundColor(Colour::rgb(2.0, -1.0, 0.5, 1.0));
    overlay->setAlphaValue(1.0);
    EXPECT_TRUE(showsPixel(*overlay, qRgba(255, 0, 128, 255)));

    overlay->close();  // off at once, keeping its values
    EXPECT_FALSE(overlay->window()->isVisible());
    EXPECT_EQ(overlay->alphaValue(), 1.0);
    overlay->show();
    EXPECT_TRUE(overlay->window()->isVisible());
    EXPECT_TRUE(showsPixel(*overlay, qRgba(255, 0, 128, 255)));
}

TEST(QtOverlayWindowTest, FadesLandExactlyOnTheirEndValuesAndLeaveNothingRunning)
{
    const auto overlay = makeOverlay();
    overlay->setBackgroundColor(Colour::blueColor());
    overlay->show();
    overlay->animateTo(0.6, orange, 200ms);
    EXPECT_TRUE(overlay->isFading());
    EXPECT_EQ(overlay->backgroundColor(), orange) << "the fill a running fade ends at";
    bool sawBetween = false;
    ASSERT_TRUE(spinUntil([&] {
        sawBetween |= overlay->alphaValue() > 0.0 && overlay->alphaValue() < 0.6;
        return !overlay->isFading();
    }));
    EXPECT_TRUE(sawBetween);
    EXPECT_EQ(overlay->alphaValue(), 0.6);
    EXPECT_EQ(overlay->backgroundColor(), orange);
    EXPECT_TRUE(showsPixel(*overlay, qRgba(153, 60, 0, 153)));
    // An idle event loop wakes a handful of times; a leftover animation timer, hundreds.
    spinFor(50ms);
    EXPECT_LT(spinFor(500ms), 20);

    overlay->animateTo(0.2, std::nullopt, 100ms);  // without a fill: the fill stays
    ASSERT_TRUE(spinUntil([&] { return !overlay->isFading(); }));
    EXPECT_EQ(overlay->alphaValue(), 0.2);
    EXPECT_TRUE(showsPixel(*overlay, qRgba(51, 20, 0, 51)));
    overlay->animateTo(0.7, Colour::greenColor(), 0ms);  // a zero duration applies at once
    EXPECT_FALSE(overlay->isFading());
    EXPECT_EQ(overlay->alphaValue(), 0.7);
    EXPECT_EQ(overlay->backgroundColor(), Colour::greenColor());
}

TEST(QtOverlayWindowTest, SettingOnePropertyEndsOnlyItsOwnFadeAndALaterFadeTakesOver)
{
    const auto overlay = makeOverlay();
    overlay->setBackgroundColor(Colour::redColor());
    overlay->show();
    overlay->animateTo(1.0, Colour::greenColor(), 300ms);
    spinFor(60ms);
    overlay->setAlphaValue(0.25);
    EXPECT_TRUE(overlay->isFading()) << "the fill goes on fading";
    ASSERT_TRUE(spinUntil([&] { return !overlay->isFading(); }));
    EXPECT_EQ(overlay->alphaValue(), 0.25);
    EXPECT_EQ(overlay->backgroundColor(), Colour::greenColor());
    EXPECT_TRUE(showsPixel(*overlay, qRgba(0, 64, 0, 64)));

    overlay->animateTo(0.5, Colour::redColor(), 300ms);
    spinFor(60ms);
    overlay->setBackgroundColor(Colour::blueColor());
    EXPECT_TRUE(overlay->isFading()) << "the alpha value goes on fading";
    ASSERT_TRUE(spinUntil([&] { return !overlay->isFading(); }));
    EXPECT_EQ(overlay->alphaValue(), 0.5);
    EXPECT_EQ(overlay->backgroundColor(), Colour::blueColor());
    EXPECT_TRUE(showsPixel(*overlay, qRgba(0, 0, 128, 128)));

    // A later fade starts from where the running one is.
    overlay->animateTo(1.0, std::nullopt, 400ms);
    spinUntil([&] { return overlay->alphaValue() > 0.7; });
    const double reached = overlay->alphaValue();
    overlay->animateTo(0.0, std::nullopt, 400ms);
    spinFor(20ms);
    EXPECT_LE(overlay->alphaValue(), reached) << "no jump to the end of the running fade";
    ASSERT_TRUE(spinUntil([&] { return !overlay->isFading(); }));
    EXPECT_EQ(overlay->alphaValue(), 0.0);
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

    const QJsonObject left = test::OffscreenScreens::screen(QStringLiteral("left"), {0, 0, 1024, 768});
    const QRect moved(1024, 100, 1280, 720);
    screens.setScreens({left, test::OffscreenScreens::screen(QStringLiteral("right"), moved)});
    EXPECT_TRUE(spinUntil([&] { return overlay->window()->geometry() == moved; }, 3s));
    screens.setScreens({left});
    EXPECT_TRUE(spinUntil([&] { return QGuiApplication::screens().size() == 1; }, 3s));
    EXPECT_FALSE(overlay->window()->isVisible()) << "it would cover another screen in part";
    overlay->show();
    EXPECT_FALSE(overlay->window()->isVisible());
}

}  // namespace
}  // namespace lunaveil
