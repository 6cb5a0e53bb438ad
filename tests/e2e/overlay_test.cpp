// The overlay windows on a real X server with two monitors: clicks pass through them to the
// window beneath (openbox managing windows, xdotool clicking), and they stay on top.

#include "effects/QtOverlayScreens.h"
#include "effects/QtOverlayWindow.h"
#include "support/ChildProcess.h"
#include "support/ScreenProbe.h"
#include "support/SpinEventLoop.h"
#include "support/XServer.h"

#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QScreen>
#include <gtest/gtest.h>

#include <memory>


namespace lunaveil {
namespace {

using namespace std::chrono_literals;
using test::spinUntil;
using test::XServer;
using Helper = test::ChildProcess;

XServer* desktop = nullptr;  // started by main() before the QGuiApplication that uses it

// An opaque window of one colour: a known background under the tint.
class SolidWindow final : public QRasterWindow {
public:
    SolidWindow(QScreen* screen, QColor colour, Qt::WindowFlags flags) : colour_(colour)
    {
        setFlags(flags);
        setScreen(screen);
    }
    int presses() const { return presses_; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), colour_); }
    void mousePressEvent(QMouseEvent*) override { ++presses_; }

private:
    QColor colour_;
    int presses_ = 0;
};

class OverlayOnXTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (desktop == nullptr || !desktop->running()) {
            const std::string why = desktop != nullptr ? desktop->failure() : "not started";
            if (XServer::required())
                FAIL() << "no X server for the end-to-end tests: " << why;
            GTEST_SKIP() << "no X server (Xorg with the dummy driver needs root and xserver-xorg-video-dummy): "
                         << why;
        }
        ASSERT_EQ(QGuiApplication::screens().size(), 2);
        probe_.emplace(desktop->displayName());
    }

    std::optional<test::ScreenProbe> probe_;
};

TEST_F(OverlayOnXTest, ClicksPassThroughToTheWindowBeneathUnderAWindowManager)
{
    Helper openbox(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    ASSERT_TRUE(spinUntil([&] { return probe_->hasWindowManager(); }, 10s)) << "openbox did not start (package openbox)";

    QScreen* screen = QGuiApplication::screens().at(1);
    SolidWindow target(screen, Qt::darkGreen, Qt::Window);
    target.setGeometry(QRect(screen->geometry().topLeft() + QPoint(200, 150), QSize(300, 200)));
    // Openbox drops a window mapped in the last moments of its start: map it again then.
    for (int attempt = 0; attempt < 10 && !target.isExposed(); ++attempt) {
        target.hide();
        target.show();
        spinUntil([&] { return target.isExposed(); }, 500ms);
    }
    ASSERT_TRUE(target.isExposed());

    QtOverlayScreens overlayScreens;
    auto overlays = overlayScreens.createWindows();
    for (auto& overlay : overlays) {
        overlay->setBackgroundColor(Colour::rgb(1.0, 0.5, 0.0, 1.0));
        overlay->setAlphaValue(0.5);
        overlay->show();
    }
    const auto* overlay = static_cast<const QtOverlayWindow*>(overlays.at(1).get());
    EXPECT_TRUE(probe_->isOverrideRedirect(overlay->window()->winId()));
    // Openbox raises and focuses its new window; the overlay must still end up on top.
    ASSERT_TRUE(spinUntil([&] {
        const auto stack = probe_->mappedStack();
        return !stack.empty() && stack.back() == overlay->window()->winId();
    }, 5s));

    const QPoint centre = target.mapToGlobal(QPoint(target.width() / 2, target.height() / 2));
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                              QString::number(centre.x()), QString::number(centre.y()),
                                              QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(xdotool.waitForFinished(5000) && xdotool.exitCode() == 0) << "xdotool is needed (package xdotool)";
    EXPECT_TRUE(spinUntil([&] { return target.presses() > 0; }, 5s)) << "the click stayed in the overlay";
}

// Lunaveil's own window (a pop-up of its popover, here) stands above the overlays; any other goes
// beneath them.
TEST_F(OverlayOnXTest, OverlaysGoBackOnTopOfEveryWindowButLunaveilsOwn)
{
    SolidWindow own(QGuiApplication::screens().at(0), Qt::blue, Qt::Popup);
    own.setGeometry(150, 150, 100, 50);
    QtOverlayScreens overlayScreens([&] { return std::vector<QWindow*>{&own}; });
    auto overlays = overlayScreens.createWindows();
    for (auto& overlay : overlays)
        overlay->show();
    const auto overlayId = [&](std::size_t i) { return static_cast<const QtOverlayWindow*>(overlays[i].get())->window()->winId(); };
    // The overlays at the top of the stack, with only Lunaveil's window above them while it shows.
    const auto overlaysOnTop = [&] {
        auto stack = probe_->mappedStack();
        if (own.isVisible()) {
            if (stack.empty() || stack.back() != own.winId())
                return false;
            stack.pop_back();
        }
        if (stack.size() < overlays.size())
            return false;
        for (std::size_t i = 0; i < overlays.size(); ++i)
            if (std::find(stack.end() - static_cast<long>(overlays.size()), stack.end(), overlayId(i)) == stack.end())
                return false;
        return true;
    };
    ASSERT_TRUE(spinUntil(overlaysOnTop, 5s));
    own.show();
    ASSERT_TRUE(spinUntil([&] { return own.isExposed(); }, 5s));
    EXPECT_TRUE(spinUntil(overlaysOnTop, 5s)) << "Lunaveil's own window went under the overlays";

    // A menu-like override-redirect window mapped later comes above everything...
    SolidWindow popup(QGuiApplication::screens().at(0), Qt::red, Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
    popup.setGeometry(100, 100, 200, 100);
    popup.show();
    ASSERT_TRUE(spinUntil([&] { return popup.isExposed(); }, 5s));
    EXPECT_TRUE(spinUntil(overlaysOnTop, 5s)) << "after a new window was mapped";

    // ... and so does one that another program raises, and an overlay raised over Lunaveil's.
    probe_->raise(popup.winId());
    EXPECT_TRUE(spinUntil(overlaysOnTop, 5s)) << "after another window was raised";
    probe_->raise(overlayId(0));
    EXPECT_TRUE(spinUntil(overlaysOnTop, 5s)) << "after an overlay was raised over Lunaveil's window";

    // A closed overlay is no longer kept on top.
    own.hide();
    for (auto& overlay : overlays)
        overlay->close();
    probe_->raise(popup.winId());
    EXPECT_TRUE(spinUntil([&] {
        const auto stack = probe_->mappedStack();
        return !stack.empty() && stack.back() == popup.winId();
    }, 5s));
}

}  // namespace
}  // namespace lunaveil

// One X server for the test process (CTest runs each test in a process of its own), started
// before the QGuiApplication that connects to it.
int main(int argc, char* argv[])
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    lunaveil::test::XServer server(2);
    lunaveil::desktop = &server;
    if (!server.running())
        return RUN_ALL_TESTS();  // every test skips, or fails in CI

    qputenv("DISPLAY", QByteArray::fromStdString(server.displayName()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Without a session bus address Qt would autolaunch a bus that outlives the test.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lunaveil-e2e-no-bus");
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
