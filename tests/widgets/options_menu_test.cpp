// The options menu (its entries, highlight images, where it opens and what it fires), the options
// button's press and hover dimming, and the popover's gradient background.

#include "ui/GrayGradientView.h"
#include "ui/ImageButtonView.h"
#include "ui/OptionsMenu.h"
#include "ui/Resources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

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

TEST_F(OptionsMenuTest, HelpTheSunsEntriesSeparatorQuitWhoseImagesTurnWhiteWhereThePointerHighlights)
{
    OptionsMenu menu;
    const QList<QAction*> entries = menu.actions();
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0]->iconText(), QStringLiteral("Help & Support"));  // no mnemonic eats the '&'
    EXPECT_EQ(entries[1], menu.followSunAction());
    EXPECT_TRUE(menu.followSunAction()->isCheckable());
    EXPECT_EQ(entries[2], menu.locationAction());
    EXPECT_TRUE(entries[3]->isSeparator());
    EXPECT_EQ(entries[4]->iconText(), QStringLiteral("Quit"));
    menu.helpAction()->trigger();  // without callbacks: nothing
    menu.quitAction()->trigger();

    const auto requests = whileOpen(menu, [&] {
        ASSERT_TRUE(menu.isVisible());
        EXPECT_EQ(menu.activeAction(), nullptr);
        expectWhite(menu, false, false);
        QTest::mouseMove(&menu, menu.actionGeometry(menu.helpAction()).center());
        expectWhite(menu, true, false);
        QTest::mouseMove(&menu, menu.actionGeometry(menu.quitAction()).center());
        expectWhite(menu, false, true);
        QTest::keyClick(&menu, Qt::Key_Up);
        expectWhite(menu, false, false);  // "Location..." has no image
        QTest::mouseMove(&menu, menu.actionGeometry(menu.helpAction()).center());
        expectWhite(menu, true, false);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&menu, &leave);
        QTest::mouseMove(&menu, menu.rect().bottomRight() + QPoint(30, 30));
        EXPECT_EQ(menu.activeAction(), nullptr);
        expectWhite(menu, false, false);
    });
    EXPECT_EQ(requests, std::pair(0, 0));
}

// Each opening is a new menu, as the popover builds them, halfway across and a quarter of the
// height below the button.
TEST_F(OptionsMenuTest, KeysHAndQAndClicksFireTheirEntryOnceAndCloseTheMenu)
{
    struct Case {
        const char* what;
        std::function<void(OptionsMenu&)> act;
        std::pair<int, int> requests;  // help, quit
    };
    const auto clickOn = [](OptionsMenu& m, QAction* entry) {
        QTest::mouseClick(&m, Qt::LeftButton, {}, m.actionGeometry(entry).center());
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
        {"click Help", [&](OptionsMenu& m) { clickOn(m, m.helpAction()); }, {1, 0}},
        {"click Quit", [&](OptionsMenu& m) { clickOn(m, m.quitAction()); }, {0, 1}},
    };
    for (const Case& each : cases) {
        OptionsMenu menu;
        bool closedByIt = false;
        const auto requests = whileOpen(menu, [&] {
            EXPECT_EQ(menu.geometry().topLeft(), button->mapToGlobal(QPoint(10, 25)));
            each.act(menu);
            closedByIt = !menu.isVisible();
        });
        EXPECT_EQ(requests, each.requests) << each.what;
        EXPECT_TRUE(closedByIt || each.requests == std::pair(0, 0)) << each.what << " left the menu open";
    }
}

constexpr int patienceMs = 5000;

void hover(QWidget* widget)
{
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &enter);
}

// The alpha values a dimming button goes through until it is back at 1.0 (or patience runs out).
std::vector<double> alphaUntilBack(const ImageButtonView& button)
{
    std::vector<double> seen{button.alphaValue()};
    bool dimmed = seen.back() < 1.0;
    QElapsedTimer clock;
    clock.start();
    while (!(dimmed && seen.back() == 1.0) && clock.elapsed() < patienceMs) {
        QTest::qWait(5);
        seen.push_back(button.alphaValue());
        dimmed = dimmed || seen.back() < 1.0;
    }
    return seen;
}

// A parent that counts the presses its child lets through.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

TEST(ImageButton, PressReportsTheTagOnlyAndEntriesDipItOnceInitiatedAnimatedEndingOpaque)
{
    PressCounter parent;
    parent.resize(100, 100);
    auto* button = new ImageButtonView(&parent);
    button->setGeometry(10, 10, 20, 20);
    parent.show();
    hover(button);  // not yet initiated, and below not animated: the pointer changes nothing
    QTest::mouseClick(button, Qt::LeftButton);  // without a callback
    std::vector<int> tags;
    button->onClick = [&](int tag) { tags.push_back(tag); };
    button->initiate(7, false);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(tags, std::vector<int>{7});
    EXPECT_EQ(parent.presses, 0);
    hover(button);
    QTest::qWait(ImageButtonView::fadeBackDelayMs);
    EXPECT_EQ(button->alphaValue(), 1.0);

    button->initiate(0, true);
    hover(button);
    const std::vector<double> seen = alphaUntilBack(*button);
    EXPECT_EQ(seen.back(), 1.0);
    const auto lowest = std::min_element(seen.begin(), seen.end());
    // A dip towards 0.3 that the return at 0.2 s cuts short, never below 0.3.
    EXPECT_LT(*lowest, 0.95);
    EXPECT_GE(*lowest, ImageButtonView::dimmedAlpha);
    EXPECT_TRUE(std::is_sorted(seen.begin(), lowest + 1, std::greater<>()));
    EXPECT_TRUE(std::is_sorted(lowest, seen.end()));

    hover(button);
    QTest::qWait(50);
    hover(button);
    EXPECT_EQ(alphaUntilBack(*button).back(), 1.0);
    QTest::qWait(2 * (ImageButtonView::fadeBackDelayMs + ImageButtonView::fadeDurationMs));
    EXPECT_EQ(button->alphaValue(), 1.0);
}

int distance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

// Standing alone and placed inside a parent, the view is filled dark at the bottom to light at the top.
TEST(GradientBackground, FillsTheWholeViewDarkAtTheBottomAndLightAtTheTopWhereverItIsPlaced)
{
    QWidget parent;
    parent.resize(200, 200);
    GrayGradientView alone;
    auto* placed = new GrayGradientView(&parent);
    alone.resize(60, 120);
    placed->setGeometry(30, 50, 60, 120);
    alone.show();
    parent.show();
    for (GrayGradientView* view : {&alone, placed}) {
        const QImage image = view->grab().toImage();
        const int bottom = image.height() - 1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_EQ(image.pixelColor(x, y).alpha(), 255) << "unfilled at " << x << "," << y;
        EXPECT_LE(distance(image.pixelColor(5, bottom), GrayGradientView::startingColour()), 2);
        EXPECT_LE(distance(image.pixelColor(5, 0), GrayGradientView::endingColour()), 2);
        // Lighter upwards, and the same across each row.
        for (int y = bottom; y > 0; --y)
            EXPECT_GE(image.pixelColor(5, y - 1).lightness(), image.pixelColor(5, y).lightness());
        EXPECT_EQ(image.pixelColor(0, bottom / 2), image.pixelColor(image.width() - 1, bottom / 2));
    }
}

}  // namespace
}  // namespace lunaveil
