#include "effects/QtOverlayWindow.h"

#include "platform/x11/X11StackingGuard.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>

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

QtOverlayWindow::QtOverlayWindow(QScreen* screen, std::shared_ptr<X11StackingGuard> stackingGuard,
                                 std::optional<QRect> area)
    : stackingGuard_(std::move(stackingGuard))
    , screen_(screen)
    , area_(area)
    , surface_(std::make_unique<OverlaySurface>())
    , fill_([this](FadingFill::Argb shown) { surface_->setFill(shown); })
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
    fill_.setAlphaValue(alpha);
}

void QtOverlayWindow::setBackgroundColor(const Colour& fill)
{
    fill_.setBackgroundColor(fill);
}

void QtOverlayWindow::animateTo(double alpha, std::optional<Colour> fill, std::chrono::milliseconds duration)
{
    fill_.animateTo(alpha, fill, duration);
}

QWindow* QtOverlayWindow::window() const
{
    return surface_.get();
}

void QtOverlayWindow::followScreen()
{
    surface_->setGeometry(area_.value_or(screen_->geometry()));
}

void QtOverlayWindow::screenGone()
{
    close();
    screen_ = nullptr;
}

}  // namespace lunaveil
