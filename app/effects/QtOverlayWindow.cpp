#include "effects/QtOverlayWindow.h"

#include "platform/x11/X11StackingGuard.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <utility>

namespace lunaveil {

// The native window: a raster window (no widget machinery, no OpenGL) painting one colour.
class OverlaySurface final : public QRasterWindow {
public:
    void setFill(QRgb fill)
    {
        // The backing store holds premultiplied ARGB (what X11 compositors blend): colours
        // that only differ where alpha hides them paint the same pixels.
        if (qPremultiply(fill) == qPremultiply(fill_))
            return;
        fill_ = fill;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), QColor::fromRgba(fill_));
    }

private:
    QRgb fill_ = 0;
};

namespace {

// Out-of-range and NaN inputs give the nearest sound value.
double unit(double value)
{
    return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
}

int toByte(double unitValue)
{
    return static_cast<int>(std::lround(unit(unitValue) * 255.0));
}

}  // namespace

QtOverlayWindow::QtOverlayWindow(QScreen* screen, std::shared_ptr<X11StackingGuard> stackingGuard)
    : stackingGuard_(std::move(stackingGuard))
    , screen_(screen)
    , surface_(std::make_unique<OverlaySurface>())
{
    surface_->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                       | Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput
                       | Qt::WindowDoesNotAcceptFocus);
    QSurfaceFormat format = surface_->format();
    format.setAlphaBufferSize(8);  // an ARGB visual, so a compositor blends the window
    surface_->setFormat(format);
    surface_->setTitle(QStringLiteral("Lunaveil overlay"));
    if (screen_ != nullptr) {
        surface_->setScreen(screen_);
        followScreen();
        QObject::connect(screen_, &QScreen::geometryChanged, surface_.get(), [this] { followScreen(); });
        QObject::connect(screen_, &QObject::destroyed, surface_.get(), [this] { screenGone(); });
    }

    // Qt's animation timer gives some 30 frames to half a second. The pace stays linear: an eased
    // fade of a faint tint spends its first and last frames on changes no 8-bit pixel shows.
    QObject::connect(&alphaFade_, &QVariantAnimation::valueChanged, &alphaFade_,
                     [this](const QVariant& value) { applyAlpha(value.toDouble()); });
    QObject::connect(&fillFade_, &QVariantAnimation::valueChanged, &fillFade_, [this](const QVariant& value) {
        const double t = value.toDouble();
        const auto mix = [t](double from, double to) { return from + (to - from) * t; };
        applyFill({mix(fadeFrom_.red, fadeTo_.red), mix(fadeFrom_.green, fadeTo_.green),
                   mix(fadeFrom_.blue, fadeTo_.blue), mix(fadeFrom_.alpha, fadeTo_.alpha)});
    });
    // Interpolation can miss the end by a rounding error; a finished fade lands on it exactly.
    QObject::connect(&alphaFade_, &QAbstractAnimation::finished, &alphaFade_,
                     [this] { applyAlpha(alphaFade_.endValue().toDouble()); });
    QObject::connect(&fillFade_, &QAbstractAnimation::finished, &fillFade_, [this] { applyFill(fadeTo_); });
}

QtOverlayWindow::~QtOverlayWindow()
{
    close();
}

void QtOverlayWindow::show()
{
    if (screen_ == nullptr)
        return;
    // A newly mapped window is on top already; the guard raises one that was shown before.
    surface_->show();
    if (stackingGuard_) {
        stackingGuard_->guard(surface_->winId());
        guarded_ = true;
    }
}

void QtOverlayWindow::close()
{
    if (guarded_) {
        stackingGuard_->release(surface_->winId());
        guarded_ = false;
    }
    surface_->hide();
}

void QtOverlayWindow::setAlphaValue(double alpha)
{
    alphaFade_.stop();
    applyAlpha(unit(alpha));
}

void QtOverlayWindow::setBackgroundColor(const Colour& fill)
{
    fillFade_.stop();
    fill_ = fill;
    applyFill(rgbaOf(fill));
}

void QtOverlayWindow::animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds duration)
{
    const int milliseconds = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(duration.count(), 0, 600'000));
    const double targetAlpha = unit(alpha);

    alphaFade_.stop();
    if (milliseconds == 0 || targetAlpha == alpha_) {
        applyAlpha(targetAlpha);
    } else {
        alphaFade_.setDuration(milliseconds);
        alphaFade_.setStartValue(alpha_);
        alphaFade_.setEndValue(targetAlpha);
        alphaFade_.start();
    }

    if (!fill)
        return;
    fillFade_.stop();
    fill_ = *fill;
    fadeFrom_ = shownFill_;
    fadeTo_ = rgbaOf(*fill);
    if (milliseconds == 0) {
        applyFill(fadeTo_);
        return;
    }
    fillFade_.setDuration(milliseconds);
    fillFade_.setStartValue(0.0);
    fillFade_.setEndValue(1.0);
    fillFade_.start();
}

bool QtOverlayWindow::isFading() const
{
    return alphaFade_.state() == QAbstractAnimation::Running || fillFade_.state() == QAbstractAnimation::Running;
}

QWindow* QtOverlayWindow::window() const
{
    return surface_.get();
}

QtOverlayWindow::Rgba QtOverlayWindow::rgbaOf(const Colour& colour)
{
    const Rgb rgb = colour.toRgb();
    return {unit(rgb.red), unit(rgb.green), unit(rgb.blue), unit(colour.alpha())};
}

void QtOverlayWindow::applyAlpha(double alpha)
{
    alpha_ = alpha;
    repaint();
}

void QtOverlayWindow::applyFill(const Rgba& shown)
{
    shownFill_ = shown;
    repaint();
}

void QtOverlayWindow::repaint()
{
    surface_->setFill(qRgba(toByte(shownFill_.red), toByte(shownFill_.green), toByte(shownFill_.blue),
                            toByte(shownFill_.alpha * alpha_)));
}

void QtOverlayWindow::followScreen()
{
    surface_->setGeometry(screen_->geometry());
}

void QtOverlayWindow::screenGone()
{
    close();
    screen_ = nullptr;
}

}  // namespace lunaveil
