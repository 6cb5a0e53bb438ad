// The tray item: its open and closed states, its icon, and where the popover opens. That it opens
// by itself where no tray runs is proved end to end.

#include "ui/PopupSystem.h"
#include "ui/PopoverViewController.h"

#include <QApplication>
#include <QCursor>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace lunaveil {
namespace {

QIcon solid(Qt::GlobalColor colour)
{
    QPixmap pixmap(22, 22);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

class PopupSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        item->onWillShowPopover = [this] { ++willShow; };
        item->onWillClosePopover = [this] { ++willClose; };
    }
    qint64 shownIcon() const { return item->statusItem().icon().cacheKey(); }
    QWidget& popover() { return *controller.view(); }
    // Open or closed, the popover, the item and the icon agree.
    bool open()
    {
        EXPECT_EQ(popover().isVisible(), item->isActive());
        EXPECT_EQ(shownIcon() == item->highlightedImage().cacheKey(), item->isActive());
        return item->isActive();
    }
    void clickOutside(bool release = true)
    {
        QTest::mousePress(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
        if (release)
            QTest::mouseRelease(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    }

    PopoverViewController controller;
    const QIcon black = solid(Qt::black);
    const QIcon white = solid(Qt::white);
    bool dark = false;
    std::unique_ptr<PopupSystem> item = std::make_unique<PopupSystem>(
        controller, black, white, [] { return true; }, [this] { return dark; }, TrayIcon::Kind::EmbeddedIcon);
    int willShow = 0;
    int willClose = 0;
};

TEST_F(PopupSystemTest, RequestsAndClicksOnTheIconOpenAndCloseThePopoverWithTheIconFollowing)
{
    item->hidePopover();  // while closed: nothing, and nothing of the popover is built
    EXPECT_FALSE(willClose || controller.isViewLoaded());
    EXPECT_EQ(shownIcon(), black.cacheKey());
    item->showPopover();
    item->showPopover();  // opens once, but both are told
    EXPECT_EQ(willShow, 2);
    EXPECT_TRUE(open());
    TrayIcon& icon = item->statusItem();
    Q_EMIT icon.activated(QSystemTrayIcon::Trigger, std::nullopt);
    EXPECT_FALSE(open());
    EXPECT_EQ(willClose, 1);
    // Of two quick presses the tray reports the second as a double click: a click all the same.
    Q_EMIT icon.activated(QSystemTrayIcon::DoubleClick, std::nullopt);
    Q_EMIT icon.activated(QSystemTrayIcon::Context, std::nullopt);  // only the left button clicks the item
    Q_EMIT icon.activated(QSystemTrayIcon::MiddleClick, std::nullopt);
    EXPECT_TRUE(open());
    dark = true;  // the panel's darkness is asked afresh whenever the item is drawn
    item->hidePopover();
    EXPECT_EQ(shownIcon(), white.cacheKey());
    item->hidePopoverService();
    EXPECT_FALSE(item->statusItem().isVisible());
    item->showPopoverService();
    EXPECT_TRUE(item->statusItem().isVisible());

    // Where the tray gives no place, the popover opens at the pointer.
    QCursor::setPos(QApplication::primaryScreen()->geometry().topLeft() + QPoint(200, 150));
    item->showPopover();
    EXPECT_EQ(popover().pos(), PopupSystem::popoverPosition(QRect(QCursor::pos(), QSize(1, 1)), popover().size(),
                                                            QApplication::primaryScreen()->availableGeometry()));
    // Missing icon images give a drawn icon rather than none.
    PopupSystem bare(controller, {}, {}, [] { return true; }, [] { return false; }, TrayIcon::Kind::EmbeddedIcon);
    EXPECT_FALSE(bare.statusItem().icon().pixmap(22, 22).toImage().isNull());
}

TEST_F(PopupSystemTest, AClickOutsideClosesThePopoverAndOnlyThatSameClickCannotReopenIt)
{
    item->showPopover();
    clickOutside(false);
    EXPECT_FALSE(open());
    EXPECT_EQ(willClose, 1);
    // When that press was on the item itself, it reaches the item next: it must not reopen.
    item->mouseDown();
    EXPECT_FALSE(open());
    QTest::mouseRelease(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    item->mouseDown();
    EXPECT_TRUE(open());
    // An XEmbed tray never passes the closing click on, so the next press on the item is a click
    // of its own, also when the closing click's release is lost.
    clickOutside();
    item->mouseDown();
    EXPECT_TRUE(open());
    clickOutside(false);
    QWidget elsewhere;
    QTest::mousePress(&elsewhere, Qt::LeftButton, {}, QPoint(4, 4));
    item->mouseDown();
    EXPECT_TRUE(open());
    EXPECT_EQ(willShow, 4);
}

// Centred under the icon and kept on its screen, or above an icon at the screen's bottom.
TEST(PopoverPositionTest, CentredUnderTheIconAboveOneAtTheBottomAndKeptOnItsScreen)
{
    const QSize popover(320, 272);
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(1000, 0, 24, 24), popover, screen), QPoint(852, 24));
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(1260, 0, 20, 24), popover, screen), QPoint(960, 24));  // right edge
    // A floating bottom panel, and a second screen to the right.
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(600, 960, 24, 24), popover, QRect(0, 0, 1280, 1000)),
              QPoint(452, 688));
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(2000, 0, 24, 24), popover, QRect(1280, 0, 1920, 1080)),
              QPoint(1852, 24));
}

}  // namespace
}  // namespace lunaveil
