// The tray item: its open and closed states, its icon, and where the popover opens.

#include "ui/PopupSystem.h"
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
    std::unique_ptr<PopupSystem> item;
    int willShow = 0;
    int willClose = 0;
};

TEST_F(PopupSystemTest, RequestsAndClicksOnTheIconOpenAndCloseThePopoverWithTheIconFollowing)
{
    make();
    item->hidePopover();  // while closed: nothing, and nothing of the popover is built
    EXPECT_EQ(willClose, 0);
    EXPECT_FALSE(controller.isViewLoaded());
    EXPECT_EQ(shownIcon(), black.cacheKey());

    item->showPopover();
    item->showPopover();  // opens once, but both are told
    EXPECT_EQ(willShow, 2);
    EXPECT_TRUE(item->isActive());
    EXPECT_TRUE(popover().isVisible());
    EXPECT_EQ(popover().windowType(), Qt::Popup);
    EXPECT_EQ(shownIcon(), item->highlightedImage().cacheKey());

    auto& icon = const_cast<QSystemTrayIcon&>(item->statusItem());
    Q_EMIT icon.activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(item->isActive());
    EXPECT_FALSE(popover().isVisible());
    EXPECT_EQ(willClose, 1);
    // Of two quick presses the tray reports the second as a double click: a click all the same.
    Q_EMIT icon.activated(QSystemTrayIcon::DoubleClick);
    Q_EMIT icon.activated(QSystemTrayIcon::Context);  // only the left button clicks the item
    Q_EMIT icon.activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(item->isActive());
    dark = true;  // the panel's darkness is asked afresh whenever the item is drawn
    item->hidePopover();
    EXPECT_EQ(shownIcon(), white.cacheKey());

    item->hidePopoverService();
    EXPECT_FALSE(item->statusItem().isVisible());
    item->showPopoverService();
    EXPECT_TRUE(item->statusItem().isVisible());
}

TEST_F(PopupSystemTest, AClickOutsideClosesThePopoverAndOnlyThatSameClickCannotReopenIt)
{
    make();
    item->showPopover();
    clickOutside(false);
    EXPECT_FALSE(popover().isVisible());
    EXPECT_FALSE(item->isActive());
    EXPECT_EQ(willClose, 1);
    EXPECT_EQ(shownIcon(), black.cacheKey());
    // When that press was on the item itself, it reaches the item next: it must not reopen.
    item->mouseDown();
    EXPECT_FALSE(item->isActive());
    QTest::mouseRelease(&popover(), Qt::LeftButton, {}, QPoint(-40, -40));
    item->mouseDown();
    EXPECT_TRUE(item->isActive());

    // An XEmbed tray never passes the closing click on, so the next press on the item, however
    // soon, is a click of its own...
    clickOutside();
    ASSERT_FALSE(item->isActive());
    item->mouseDown();
    EXPECT_TRUE(item->isActive());
    // ... also when the closing click's release is lost: the item's press is another one.
    clickOutside(false);
    ASSERT_FALSE(item->isActive());
    QWidget icon;
    QTest::mousePress(&icon, Qt::LeftButton, {}, QPoint(4, 4));
    item->mouseDown();
    EXPECT_TRUE(item->isActive());
    EXPECT_EQ(willShow, 4);
}

TEST_F(PopupSystemTest, WithoutATrayThePopoverOpensByItselfAsAnOrdinaryWindow)
{
    make(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(willShow, 1);
    EXPECT_TRUE(item->isActive());
    EXPECT_TRUE(popover().isVisible());
    EXPECT_EQ(popover().windowType(), Qt::Window);

    popover().close();  // the item counts as closed, ready to open it again
    EXPECT_FALSE(item->isActive());
    EXPECT_EQ(willClose, 1);
}

TEST_F(PopupSystemTest, OpensAtThePointerWhereTheTrayGivesNoPlace)
{
    make();
    QCursor::setPos(QApplication::primaryScreen()->geometry().topLeft() + QPoint(200, 150));
    item->showPopover();
    EXPECT_EQ(popover().pos(), PopupSystem::popoverPosition(QRect(QCursor::pos(), QSize(1, 1)), popover().size(),
                                                            QApplication::primaryScreen()->availableGeometry()));
}

TEST_F(PopupSystemTest, MissingIconImagesGiveADrawnIconRatherThanNone)
{
    const PopupSystem withoutImages(controller, QIcon(), QIcon(), [] { return true; }, [] { return false; });
    EXPECT_FALSE(withoutImages.statusItem().icon().pixmap(22, 22).toImage().isNull());
}

TEST(PopoverPositionTest, CentredUnderTheIconAndKeptOnItsScreen)
{
    const QSize popover(320, 272);
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(1000, 0, 24, 24), popover, screen), QPoint(852, 24));
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(1260, 0, 20, 24), popover, screen), QPoint(960, 24));  // right edge
    // Above an icon on a bottom panel, and on a second screen to the right.
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(600, 1000, 24, 24), popover, QRect(0, 0, 1280, 1000)),
              QPoint(452, 728));
    EXPECT_EQ(PopupSystem::popoverPosition(QRect(2000, 0, 24, 24), popover, QRect(1280, 0, 1920, 1080)),
              QPoint(1852, 24));
}

}  // namespace
}  // namespace lunaveil
