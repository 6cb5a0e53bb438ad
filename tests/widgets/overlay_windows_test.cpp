// The overlays on the offscreen platform: one per screen, none for a mirror, each covering its
// screen as screens are added, moved and removed, one call for each settled change; and the fades.

#include "effects/QtOverlayScreens.h"
#include "effects/QtOverlayWindow.h"
#include "support/SpinEventLoop.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>
#include <qpa/qplatformnativeinterface.h>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::spinFor;
using test::spinUntil;

// The offscreen platform adds, removes and moves screens, told apart by name, when its
// configuration changes, as a desktop does on hotplug. Each change reaches Qt within the call, in
// one event-loop pass; at the end the file's screens come back the same way.
class OffscreenScreens {
public:
    ~OffscreenScreens() { apply(initial_); }
    static QJsonObject screen(const char* name, const QRect& geometry)
    {
        return {{QStringLiteral("name"), QString::fromLatin1(name)}, {QStringLiteral("x"), geometry.x()},
                {QStringLiteral("y"), geometry.y()}, {QStringLiteral("width"), geometry.width()},
                {QStringLiteral("height"), geometry.height()}, {QStringLiteral("logicalDpi"), 96},
                {QStringLiteral("logicalBaseDpi"), 96}, {QStringLiteral("dpr"), 1.0}};
    }
    void setScreens(const QJsonArray& screens)
    {
        QJsonObject changed = initial_;
        changed[QStringLiteral("screens")] = screens;
        apply(changed);
    }

private:
    static void* resource(const char* name)
    {
        return QGuiApplication::platformNativeInterface()->nativeResourceForIntegration(name);
    }
    static void apply(QJsonObject configuration)
    {
        configuration[QStringLiteral("synchronousWindowSystemEvents")] = true;
        using Set = void (*)(const QJsonObject&, QPlatformNativeInterface*);
        reinterpret_cast<Set>(resource("setConfiguration"))(configuration, QGuiApplication::platformNativeInterface());
    }

    const QJsonObject initial_ = reinterpret_cast<QJsonObject (*)(QPlatformNativeInterface*)>(resource("configuration"))(
        QGuiApplication::platformNativeInterface());
};

// Click-through and staying on top are the X server's to prove (tests/e2e); here, the geometry.
TEST(QtOverlayScreensTest, OneHiddenOverlayCoversEachScreenButMirrorsFollowsItAndEachSettledChangeIsCalledOnce)
{
    OffscreenScreens offscreen;
    const QJsonObject left = OffscreenScreens::screen("left", {0, 0, 1024, 768});
    const QJsonObject right = OffscreenScreens::screen("right", {1664, 0, 800, 600});
    // A projector cloning the left monitor at its own resolution, and an exact clone of the right.
    offscreen.setScreens({left, right, OffscreenScreens::screen("projector", {0, 0, 800, 600}),
                          OffscreenScreens::screen("clone", {1664, 0, 800, 600})});
    QtOverlayScreens screens;
    EXPECT_EQ(screens.screenCount(), 2);
    const auto overlays = screens.createWindows();
    ASSERT_EQ(overlays.size(), 2u);
    const auto window = [&](std::size_t i) { return dynamic_cast<const QtOverlayWindow&>(*overlays[i]).window(); };
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(window(i)->screen()->name(), i == 0 ? QStringLiteral("left") : QStringLiteral("right"));
        EXPECT_EQ(window(i)->geometry(), window(i)->screen()->geometry());
        EXPECT_FALSE(window(i)->isVisible());
    }
    int calls = 0;
    screens.onScreensChanged = [&] { ++calls; };
    overlays[1]->show();
    EXPECT_TRUE(window(1)->isVisible());

    // The mirrors unplugged, a monitor plugged in and the right one moved over: one call.
    const QRect moved(1664, 100, 1280, 720);
    offscreen.setScreens({left, OffscreenScreens::screen("right", moved), OffscreenScreens::screen("new", {1024, 0, 640, 480})});
    EXPECT_EQ(calls, 0) << "called later, not from inside Qt's screen handling";
    ASSERT_TRUE(spinUntil([&] { return calls > 0; }, 3s));
    spinFor(QtOverlayScreens::settleTime * 2);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(window(1)->geometry(), moved);
    EXPECT_EQ(screens.createWindows().size(), 3u);

    // A screen added later is watched too; changes in passes of their own, as Qt hands them over
    // under load, still make one call. An overlay whose screen goes hides: it would cover another in part.
    offscreen.setScreens({left, right, OffscreenScreens::screen("new", {1024, 0, 320, 240})});
    spinFor(QtOverlayScreens::settleTime / 4);
    offscreen.setScreens({left});
    ASSERT_TRUE(spinUntil([&] { return calls > 1; }, 3s));
    spinFor(QtOverlayScreens::settleTime * 2);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(screens.screenCount(), 1);
    overlays[1]->show();
    EXPECT_FALSE(window(1)->isVisible());
}

// The blend itself is checked on real servers (tests/e2e); here, where the values go.
TEST(QtOverlayWindowTest, FadesLandOnTheirEndValuesEachPropertyOnItsOwnAndLeaveNothingRunning)
{
    QtOverlayWindow overlay(QGuiApplication::primaryScreen(), nullptr);
    overlay.show();
    overlay.animateTo(0.6, Colour::orangeColor(), 300ms);
    EXPECT_EQ(overlay.backgroundColor(), Colour::orangeColor()) << "the fill a running fade ends at";
    // Until the fade has moved, however long a loaded machine takes for its first frame.
    ASSERT_TRUE(spinUntil([&] { return overlay.alphaValue() > 0.0; }));
    overlay.setBackgroundColor(Colour::redColor());
    EXPECT_TRUE(overlay.isFading()) << "the alpha value goes on fading";
    ASSERT_TRUE(spinUntil([&] { return !overlay.isFading(); }));
    EXPECT_EQ(std::pair(overlay.alphaValue(), overlay.backgroundColor()), std::pair(0.6, Colour::redColor()));
    // An idle event loop wakes a handful of times; a leftover animation timer, hundreds.
    spinFor(50ms);
    EXPECT_LT(spinFor(500ms), 20);
    // A later fade starts from where the running one is; a zero duration applies at once.
    overlay.animateTo(1.0, std::nullopt, 400ms);
    spinUntil([&] { return overlay.alphaValue() > 0.7; });
    const double reached = overlay.alphaValue();
    overlay.animateTo(0.0, std::nullopt, 400ms);
    spinFor(20ms);
    EXPECT_LE(overlay.alphaValue(), reached) << "a jump to the end of the running fade";
    overlay.animateTo(0.7, Colour::greenColor(), 0ms);
    EXPECT_FALSE(overlay.isFading());
    EXPECT_EQ(std::pair(overlay.alphaValue(), overlay.backgroundColor()), std::pair(0.7, Colour::greenColor()));
}

}  // namespace
}  // namespace lunaveil
