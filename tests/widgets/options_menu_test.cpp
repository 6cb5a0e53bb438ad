// The options menu: its entries, keys, images and highlight, where it opens and what it fires.

#include "ui/OptionsMenu.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace lunaveil {
namespace {

QImage shown(const OptionsMenu& menu, const QAction* action)
{
    return action->icon().pixmap(OptionsMenu::imageSize, menu.devicePixelRatio()).toImage();
}

QImage image(const OptionsMenu& menu, const QString& name, QSize size = {})
{
    return loadImage(name, size, menu.devicePixelRatio()).toImage();
}

bool showsNormalImage(const OptionsMenu& menu, const QAction* action)
{
    return shown(menu, action) == image(menu, action->data().toString(), OptionsMenu::imageSize);
}

bool showsWhiteImage(const OptionsMenu& menu, const QAction* action)
{
    return shown(menu, action) == image(menu, action->data().toString() + QStringLiteral("_White"));
}

// Opens the menu under button and runs inside on the open menu; popUp returns once it closes.
void whileOpen(OptionsMenu& menu, QWidget& button, const std::function<void()>& inside)
{
    QTimer::singleShot(0, &menu, [&] {
        inside();
        menu.close();  // in case inside left it open
    });
    menu.popUp(&button);
}

class OptionsMenuTest : public testing::Test {
protected:
    void SetUp() override
    {
        menu.onHelpRequest = [this] { ++helpRequests; };
        menu.onQuitRequest = [this] { ++quitRequests; };
        window.resize(200, 100);
        button = new QWidget(&window);
        button->setGeometry(40, 10, 20, 20);
        window.move(QApplication::primaryScreen()->geometry().topLeft() + QPoint(50, 50));
        window.show();
    }

    OptionsMenu menu;
    QWidget window;
    QWidget* button = nullptr;
    int helpRequests = 0;
    int quitRequests = 0;
};

TEST_F(OptionsMenuTest, HasHelpASeparatorAndQuitWithTheirKeysAndImages)
{
    const QList<QAction*> entries = menu.actions();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0], menu.helpAction());
    EXPECT_EQ(entries[0]->iconText(), QStringLiteral("Help & Support"));
    EXPECT_EQ(entries[0]->shortcut(), QKeySequence(Qt::Key_H));
    EXPECT_EQ(entries[0]->data().toString(), QStringLiteral("HelpMenuOption"));
    EXPECT_TRUE(entries[1]->isSeparator());
    EXPECT_EQ(entries[2], menu.quitAction());
    EXPECT_EQ(entries[2]->iconText(), QStringLiteral("Quit"));
    EXPECT_EQ(entries[2]->shortcut(), QKeySequence(Qt::Key_Q));
    EXPECT_EQ(entries[2]->data().toString(), QStringLiteral("QuitApplicationMenuOption"));
    for (const QAction* entry : {entries[0], entries[2]}) {
        EXPECT_FALSE(entry->isCheckable());
        EXPECT_TRUE(entry->isEnabled());
        EXPECT_FALSE(shown(menu, entry).isNull());
        EXPECT_TRUE(showsNormalImage(menu, entry));
    }
}

TEST_F(OptionsMenuTest, HighlightedEntryAloneShowsItsWhiteImage)
{
    menu.willHighlightItem(menu.helpAction());
    EXPECT_TRUE(showsWhiteImage(menu, menu.helpAction()));
    EXPECT_TRUE(showsNormalImage(menu, menu.quitAction()));

    menu.willHighlightItem(menu.quitAction());
    EXPECT_TRUE(showsNormalImage(menu, menu.helpAction()));
    EXPECT_TRUE(showsWhiteImage(menu, menu.quitAction()));

    menu.willHighlightItem(nullptr);
    EXPECT_TRUE(showsNormalImage(menu, menu.helpAction()));
    EXPECT_TRUE(showsNormalImage(menu, menu.quitAction()));
}

TEST_F(OptionsMenuTest, ImagesFollowThePointerAcrossTheOpenMenu)
{
    whileOpen(menu, *button, [&] {
        ASSERT_TRUE(menu.isVisible());
        EXPECT_EQ(menu.activeAction(), nullptr);
        EXPECT_TRUE(showsNormalImage(menu, menu.helpAction()));

        QTest::mouseMove(&menu, menu.actionGeometry(menu.helpAction()).center());
        EXPECT_TRUE(showsWhiteImage(menu, menu.helpAction()));
        EXPECT_TRUE(showsNormalImage(menu, menu.quitAction()));

        QTest::mouseMove(&menu, menu.actionGeometry(menu.quitAction()).center());
        EXPECT_TRUE(showsNormalImage(menu, menu.helpAction()));
        EXPECT_TRUE(showsWhiteImage(menu, menu.quitAction()));

        QTest::keyClick(&menu, Qt::Key_Up);
        EXPECT_TRUE(showsWhiteImage(menu, menu.helpAction()));
        EXPECT_TRUE(showsNormalImage(menu, menu.quitAction()));

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&menu, &leave);
        QTest::mouseMove(&menu, menu.rect().bottomRight() + QPoint(30, 30));
        EXPECT_EQ(menu.activeAction(), nullptr);
        EXPECT_TRUE(showsNormalImage(menu, menu.helpAction()));
        EXPECT_TRUE(showsNormalImage(menu, menu.quitAction()));
    });
    EXPECT_EQ(helpRequests + quitRequests, 0);
}

TEST_F(OptionsMenuTest, OpensHalfwayAcrossAndAQuarterOfTheHeightBelowTheButton)
{
    EXPECT_EQ(OptionsMenu::popupPosition(QSize(20, 20)), QPoint(10, 25));
    EXPECT_EQ(OptionsMenu::popupPosition(QSize(40, 16)), QPoint(20, 20));

    QPoint topLeft;
    whileOpen(menu, *button, [&] { topLeft = menu.geometry().topLeft(); });
    EXPECT_EQ(topLeft, button->mapToGlobal(QPoint(10, 25)));
}

TEST_F(OptionsMenuTest, KeyHAsksForHelpAndClosesTheMenu)
{
    whileOpen(menu, *button, [&] { QTest::keyClick(&menu, Qt::Key_H); });
    EXPECT_EQ(helpRequests, 1);
    EXPECT_EQ(quitRequests, 0);
    EXPECT_FALSE(menu.isVisible());
}

TEST_F(OptionsMenuTest, KeyQAsksToQuit)
{
    whileOpen(menu, *button, [&] { QTest::keyClick(&menu, Qt::Key_Q); });
    EXPECT_EQ(quitRequests, 1);
    EXPECT_EQ(helpRequests, 0);
}

TEST_F(OptionsMenuTest, OtherKeysFireNothing)
{
    whileOpen(menu, *button, [&] {
        QTest::keyClick(&menu, Qt::Key_X);
        QTest::keyClick(&menu, Qt::Key_Q, Qt::ControlModifier);
    });
    EXPECT_EQ(helpRequests + quitRequests, 0);
}

TEST_F(OptionsMenuTest, ClickingAnEntryFiresItsCallbackOnce)
{
    whileOpen(menu, *button, [&] {
        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(menu.quitAction()).center());
    });
    EXPECT_EQ(quitRequests, 1);
    EXPECT_EQ(helpRequests, 0);

    OptionsMenu second;
    int secondHelp = 0;
    second.onHelpRequest = [&] { ++secondHelp; };
    whileOpen(second, *button, [&] {
        QTest::mouseClick(&second, Qt::LeftButton, {}, second.actionGeometry(second.helpAction()).center());
    });
    EXPECT_EQ(secondHelp, 1);
    EXPECT_EQ(helpRequests, 0);
}

TEST(OptionsMenuCallbacks, EntriesWithoutCallbacksDoNothing)
{
    OptionsMenu menu;
    menu.helpAction()->trigger();
    menu.quitAction()->trigger();
    SUCCEED();
}

}  // namespace
}  // namespace lunaveil
