// The tray item: its open and closed states and where the popover opens. Its icon's look, and that
// it opens by itself where no tray runs, are proved end to end.

#include "ui/PopupSystem.h"
#include "ui/PopoverViewController.h"

#include <QTest>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

class PopupSystemTest : public ::testing::Test {
protected:
    void SetUp() override { item.onWillClosePopover = [this] { ++willClose; }; }
    QWidget& popover() { return *controller.view(); }
    // Open or closed, the popover and the item agree.
    bool open()
    {
        EXPECT_EQ(popover().isVisible(), item.isActive());
        return item.isActive();
    }
    void clickOutside(bool release = true)
    {
        QTest::mousePress(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
        if (release)
            QTest::mouseRelease(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    }

    PopoverViewController controller;
    PopupSystem item{controller, {}, {}, [] { return true; }, [] { return false; }, TrayIcon::Kind::EmbeddedIcon};
    int willClose = 0;
};

// The icon's plain clicks are the desktop test's. Of two quick presses the tray reports the second
// as a double click: a click all the same; only the left button clicks the item. A click outside
// closes the popover, and only that same click cannot open it again.
TEST_F(PopupSystemTest, LeftClicksOnTheIconToggleThePopoverAndTheClickOutsideThatClosedItCannotReopenIt)
{
    for (const auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::DoubleClick})
        Q_EMIT item.statusItem().activated(reason, std::nullopt);
    EXPECT_TRUE(open());
    clickOutside(false);
    EXPECT_FALSE(open());
    EXPECT_EQ(willClose, 1);
    // When that press was on the item itself, it reaches the item next: it must not reopen.
    item.mouseDown();
    EXPECT_FALSE(open());
    QTest::mouseRelease(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    item.mouseDown();
    EXPECT_TRUE(open());
    // An XEmbed tray never passes the closing click on, so the next press on the item is a click
    // of its own, also when the closing click's release is lost.
    clickOutside();
    item.mouseDown();
    EXPECT_TRUE(open());
    clickOutside(false);
    QWidget elsewhere;
    QTest::mousePress(&elsewhere, Qt::LeftButton, {}, QPoint(4, 4));
    item.mouseDown();
    EXPECT_TRUE(open());
    item.hidePopover();
    EXPECT_EQ(std::pair(open(), willClose), std::pair(false, 4));
}

// Centred under the icon and kept on its screen, or above an icon at the screen's bottom.
TEST(PopoverPositionTest, CentredUnderTheIconAboveOneAtTheBottomAndKeptOnItsScreen)
{
    const struct {
        QRect icon, screen;
        QPoint at;
    } cases[] = {
        {{1000, 0, 24, 24}, {0, 0, 1280, 1024}, {852, 24}},
        {{1260, 0, 20, 24}, {0, 0, 1280, 1024}, {960, 24}},     // at the right edge
        {{600, 960, 24, 24}, {0, 0, 1280, 1000}, {452, 688}},   // a floating bottom panel
        {{2000, 0, 24, 24}, {1280, 0, 1920, 1080}, {1852, 24}}, // a second screen to the right
    };
    for (const auto& [icon, screen, at] : cases)
        EXPECT_EQ(PopupSystem::popoverPosition(icon, QSize(320, 272), screen), at) << icon.x() << "," << icon.y();
}

}  // namespace
}  // namespace lunaveil
