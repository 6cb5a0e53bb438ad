// The tray item: its open and closed states, its icon, and where the popover opens.

#include "ui/PopoverSystem.h"
#include "ui/PopoverViewController.h"

#include <QApplication>
#include <QCursor>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>
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
    void make(bool trayRuns = true)
    {
        item = std::make_unique<PopupSystem>(controller, black, white, [trayRuns] { return trayRuns; },
                                             [this] { return dark; });
        item->onWillShowPopover = [this] { ++willShow; };
        item->onWillClosePopover = [this] { ++willClose; };
    }
    qint64 shownIcon() const { return item->statusItem().icon().cacheKey(); }
    QWidget& popover() { return *controller.view(); }

    PopoverViewController controller;
    const QIcon black = solid(Qt::black);
    const QIcon white = solid(Qt::white);
    bool dark = false;
    std::unique_ptr<PopupSystem> item;
    int willShow = 0;
    int willClose = 0;
};

TEST_F(PopupSystemTest, TwoShowRequestsOpenThePopoverOnceButAreBothTold)
{
    make();
    EXPECT_FALSE(controller.isViewLoaded());  // nothing of the popover is built before it opens
    item->showPopover();
    item->showPopover();
    EXPECT_EQ(willShow, 2);
    EXPECT_TRUE(item->isActive());
    EXPECT_TRUE(popover().isVisible());
    EXPECT_EQ(popover().windowType(), Qt::Popup);
    EXPECT_EQ(shownIcon(), item->highlightedImage().cacheKey());
    EXPECT_EQ(willClose, 0);
}

TEST_F(PopupSystemTest, HideRequestWhileClosedDoesNothing)
{
    make();
    const qint64 before = shownIcon();
    item->hidePopover();
    EXPECT_FALSE(item->isActive());
    EXPECT_EQ(willClose, 0);
    EXPECT_EQ(shownIcon(), before);
    EXPECT_FALSE(controller.isViewLoaded());
}

TEST_F(PopupSystemTest, ClickOnTheItemOpensAndClosesThePopover)
{
    make();
    item->mouseDown();
    EXPECT_TRUE(item->isActive());
    EXPECT_TRUE(popover().isVisible());
    item->mouseDown();
    EXPECT_FALSE(item->isActive());
    EXPECT_FALSE(popover().isVisible());
    EXPECT_EQ(willShow, 1);
    EXPECT_EQ(willClose, 1);
    EXPECT_EQ(shownIcon(), black.cacheKey());
}

TEST_F(PopupSystemTest, ClickOutsideClosesThePopoverAndTheItemCountsItClosed)
{
    make();
    item->showPopover();
    ASSERT_TRUE(popover().isVisible());
    QTest::mousePress(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    EXPECT_FALSE(popover().isVisible());
    EXPECT_FALSE(item->isActive());
    EXPECT_EQ(willClose, 1);
    EXPECT_EQ(shownIcon(), black.cacheKey());

    // When that press was on the item itself, it reaches the item next: it must not reopen.
    item->mouseDown();
    EXPECT_FALSE(item->isActive());
    QTest::mouseRelease(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    // A click of its own opens it again.
    item->mouseDown();
    EXPECT_TRUE(item->isActive());
    EXPECT_EQ(willShow, 2);
}

TEST_F(PopupSystemTest, AClickOnTheItemRightAfterTheClickThatClosedThePopoverOpensItAgain)
{
    make();
    item->showPopover();
    // The click that closes it, pressed and released, never reaches the item (an XEmbed tray
    // does not pass it on)...
    QTest::mouseClick(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    ASSERT_FALSE(item->isActive());
    // ... so the next press on the item, however soon, is a click of its own.
    item->mouseDown();
    EXPECT_TRUE(item->isActive());

    // So it is when the closing click's release never arrives: the item's press is another one.
    QTest::mousePress(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    ASSERT_FALSE(item->isActive());
    QWidget icon;
    QTest::mousePress(&icon, Qt::LeftButton, {}, QPoint(4, 4));
    item->mouseDown();
    EXPECT_TRUE(item->isActive());
}

TEST_F(PopupSystemTest, EveryPressOnTheIconIsAClickAlsoWhenTheTrayReportsADoubleClick)
{
    make();
    // The tray tells of the second of two quick presses as a double click, not as a click.
    auto& icon = const_cast<QSystemTrayIcon&>(item->statusItem());
    Q_EMIT icon.activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(item->isActive());
    Q_EMIT icon.activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(item->isActive());
    Q_EMIT icon.activated(QSystemTrayIcon::Trigger);
    Q_EMIT icon.activated(QSystemTrayIcon::Context);
    Q_EMIT icon.activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(item->isActive()) << "only the left button clicks the item";
    EXPECT_EQ(willShow, 2);
}

TEST_F(PopupSystemTest, IconFollowsThePanelsDarknessWheneverTheItemIsDrawn)
{
    make();
    EXPECT_EQ(shownIcon(), black.cacheKey());
    dark = true;
    item->showPopover();
    item->hidePopover();
    EXPECT_EQ(shownIcon(), white.cacheKey());
    dark = false;
    item->showPopover();
    EXPECT_EQ(shownIcon(), item->highlightedImage().cacheKey());  // open: white on the highlight
    item->hidePopover();
    EXPECT_EQ(shownIcon(), black.cacheKey());
}

TEST_F(PopupSystemTest, ItemCanBeTakenOutOfTheTrayAndPutBack)
{
    make();
    item->hidePopoverService();
    EXPECT_FALSE(item->statusItem().isVisible());
    item->showPopoverService();
    EXPECT_TRUE(item->statusItem().isVisible());
}

TEST_F(PopupSystemTest, WithoutATrayThePopoverOpensByItselfAsAnOrdinaryWindow)
{
    make(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(willShow, 1);
    EXPECT_TRUE(item->isActive());
    EXPECT_TRUE(popover().isVisible());
    EXPECT_EQ(popover().windowType(), Qt::Window);

    // Closing that window leaves the item closed, ready to open it again.
    popover().close();
    EXPECT_FALSE(item->isActive());
    EXPECT_EQ(willClose, 1);
}

TEST_F(PopupSystemTest, OpensAtThePointerWhereTheTrayGivesNoPlace)
{
    make();
    QCursor::setPos(QApplication::primaryScreen()->geometry().topLeft() + QPoint(200, 150));
    item->showPopover();
    const QRect available = QApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(popover().pos(), PopupSystem::popoverPosition(QRect(QCursor::pos(), QSize(1, 1)), popover().size(), available));
}

TEST_F(PopupSystemTest, MissingIconImagesGiveADrawnIconRatherThanNone)
{
    const PopupSystem withoutImages(controller, QIcon(), QIcon(), [] { return true; }, [] { return false; });
    EXPECT_FALSE(withoutImages.statusItem().icon().isNull());
    EXPECT_FALSE(withoutImages.statusItem().icon().pixmap(22, 22).toImage().isNull());
}

TEST(PopoverPositionTest, CentredUnderTheIconAndKeptOnItsScreen)
{
    const QSize popover(320, 272);
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(1000, 0, 24, 24), popover, screen), QPoint(1012 - 160, 24));
    // Near the right edge it moves left, onto the screen.
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(1260, 0, 20, 24), popover, screen), QPoint(1280 - 320, 24));
    // On a panel at the bottom it opens above the icon.
    const QRect aboveBottomPanel(0, 0, 1280, 1000);
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(600, 1000, 24, 24), popover, aboveBottomPanel), QPoint(612 - 160, 1000 - 272));
    // A second screen to the right.
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(2000, 0, 24, 24), popover, QRect(1280, 0, 1920, 1080)),
              QPoint(2012 - 160, 24));
}

}  // namespace
}  // namespace lunaveil
