// The options button's press and hover dimming, and the popover's gradient background.

#include "ui/GrayGradientView.h"
#include "ui/ImageButtonView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace lunaveil {
namespace {

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

class ImageButton : public testing::Test {
protected:
    void SetUp() override
    {
        parent.resize(100, 100);
        button = new ImageButtonView(&parent);
        button->setGeometry(10, 10, 20, 20);
        parent.show();
    }

    PressCounter parent;
    ImageButtonView* button = nullptr;
};

TEST_F(ImageButton, PressReportsTheTagOnceAndGoesNoFurtherWithOrWithoutACallback)
{
    button->initiate(3, false);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(button->alphaValue(), 1.0);

    std::vector<int> tags;
    button->initiate(7, true);
    button->onClick = [&](int tag) { tags.push_back(tag); };
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(tags, std::vector<int>{7});
    EXPECT_EQ(parent.presses, 0);
}

TEST_F(ImageButton, AnimatedButtonDipsOnEveryEntryAndEndsOpaqueWithNothingLeftRunning)
{
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

TEST_F(ImageButton, IgnoresThePointerUntilInitiatedAndWhenUnanimated)
{
    hover(button);
    QTest::qWait(ImageButtonView::fadeBackDelayMs);
    EXPECT_EQ(button->alphaValue(), 1.0);
    button->initiate(0, false);
    hover(button);
    QTest::qWait(ImageButtonView::fadeBackDelayMs + ImageButtonView::fadeDurationMs);
    EXPECT_EQ(button->alphaValue(), 1.0);
}

TEST_F(ImageButton, StopFadeAnimationBringsTheButtonBack)
{
    button->startFadeAnimation();
    QTest::qWait(100);
    EXPECT_LT(button->alphaValue(), 1.0);
    button->stopFadeAnimation();
    EXPECT_EQ(alphaUntilBack(*button).back(), 1.0);
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
