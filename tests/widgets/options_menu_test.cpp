// The options menu: its entries, highlight images, where it opens and what it fires.

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

// Whether each entry shows its white (highlighted) image, or else its normal one.
void expectWhite(const OptionsMenu& menu, bool helpWhite, bool quitWhite)
{
    for (const auto& [action, white] : {std::pair{menu.helpAction(), helpWhite}, std::pair{menu.quitAction(), quitWhite}}) {
        const QString name = action->data().toString();
        ASSERT_FALSE(shown(menu, action).isNull()) << qPrintable(name);
        const QImage expected = white ? loadImage(name + QStringLiteral("_White"), {}, menu.devicePixelRatio()).toImage()
                                      : loadImage(name, OptionsMenu::imageSize, menu.devicePixelRatio()).toImage();
        EXPECT_EQ(shown(menu, action), expected) << qPrintable(name) << (white ? " white" : " normal");
    }
}

class OptionsMenuTest : public testing::Test {
protected:
    void SetUp() override
    {
        window.resize(200, 100);
        button = new QWidget(&window);
        button->setGeometry(40, 10, 20, 20);
        window.move(QApplication::primaryScreen()->geometry().topLeft() + QPoint(50, 50));
        window.show();
    }

    // Opens a menu under the button and runs inside on it; returns the requests once it closes.
    std::pair<int, int> whileOpen(OptionsMenu& menu, const std::function<void()>& inside)
    {
        std::pair<int, int> requests;
        menu.onHelpRequest = [&] { ++requests.first; };
        menu.onQuitRequest = [&] { ++requests.second; };
        QTimer::singleShot(0, &menu, [&] {
            inside();
            menu.close();  // in case inside left it open
        });
        menu.popUp(button);
        return requests;
    }

    QWidget window;
    QWidget* button = nullptr;
};

TEST_F(OptionsMenuTest, HelpSeparatorQuitAndOnlyTheHighlightedEntryShowsItsWhiteImage)
{
    OptionsMenu menu;
    const QList<QAction*> entries = menu.actions();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0]->iconText(), QStringLiteral("Help & Support"));  // no mnemonic eats the '&'
    EXPECT_TRUE(entries[1]->isSeparator());
    EXPECT_EQ(entries[2]->iconText(), QStringLiteral("Quit"));

    expectWhite(menu, false, false);
    menu.willHighlightItem(menu.helpAction());
    expectWhite(menu, true, false);
    menu.willHighlightItem(menu.quitAction());
    expectWhite(menu, false, true);
    menu.willHighlightItem(nullptr);
    expectWhite(menu, false, false);
}

TEST_F(OptionsMenuTest, ImagesFollowThePointerAcrossTheOpenMenu)
{
    OptionsMenu menu;
    const auto requests = whileOpen(menu, [&] {
        ASSERT_TRUE(menu.isVisible());
        EXPECT_EQ(menu.activeAction(), nullptr);
        expectWhite(menu, false, false);
        QTest::mouseMove(&menu, menu.actionGeometry(menu.helpAction()).center());
        expectWhite(menu, true, false);
        QTest::mouseMove(&menu, menu.actionGeometry(menu.quitAction()).center());
        expectWhite(menu, false, true);
        QTest::keyClick(&menu, Qt::Key_Up);
        expectWhite(menu, true, false);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&menu, &leave);
        QTest::mouseMove(&menu, menu.rect().bottomRight() + QPoint(30, 30));
        EXPECT_EQ(menu.activeAction(), nullptr);
        expectWhite(menu, false, false);
    });
    EXPECT_EQ(requests, std::pair(0, 0));
}

TEST_F(OptionsMenuTest, OpensHalfwayAcrossAndAQuarterOfTheHeightBelowTheButton)
{
    EXPECT_EQ(OptionsMenu::popupPosition(QSize(20, 20)), QPoint(10, 25));
    EXPECT_EQ(OptionsMenu::popupPosition(QSize(40, 16)), QPoint(20, 20));

    OptionsMenu menu;
    QPoint topLeft;
    whileOpen(menu, [&] { topLeft = menu.geometry().topLeft(); });
    EXPECT_EQ(topLeft, button->mapToGlobal(QPoint(10, 25)));
}

TEST_F(OptionsMenuTest, KeysHAndQAndClicksFireTheirEntryOnceAndCloseTheMenu)
{
    struct Case {
        const char* what;
        std::function<void(OptionsMenu&)> act;
        std::pair<int, int> requests;  // help, quit
    };
    const std::vector<Case> cases{
        {"key H", [](OptionsMenu& m) { QTest::keyClick(&m, Qt::Key_H); }, {1, 0}},
        {"key Q", [](OptionsMenu& m) { QTest::keyClick(&m, Qt::Key_Q); }, {0, 1}},
        {"other keys",
         [](OptionsMenu& m) {
             QTest::keyClick(&m, Qt::Key_X);
             QTest::keyClick(&m, Qt::Key_Q, Qt::ControlModifier);
         },
         {0, 0}},
        {"click Help",
         [](OptionsMenu& m) { QTest::mouseClick(&m, Qt::LeftButton, {}, m.actionGeometry(m.helpAction()).center()); },
         {1, 0}},
        {"click Quit",
         [](OptionsMenu& m) { QTest::mouseClick(&m, Qt::LeftButton, {}, m.actionGeometry(m.quitAction()).center()); },
         {0, 1}},
    };
    for (const Case& each : cases) {
        OptionsMenu menu;  // a new menu for every opening, as the popover builds them
        bool closedByIt = false;
        const auto requests = whileOpen(menu, [&] {
            each.act(menu);
            closedByIt = !menu.isVisible();
        });
        EXPECT_EQ(requests, each.requests) << each.what;
        EXPECT_TRUE(closedByIt || each.requests == std::pair(0, 0)) << each.what << " left the menu open";
    }
}

TEST(OptionsMenuCallbacks, EntriesWithoutCallbacksDoNothing)
{
    OptionsMenu menu;
    menu.helpAction()->trigger();
    menu.quitAction()->trigger();
}

}  // namespace
}  // namespace lunaveil
