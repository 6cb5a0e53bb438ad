#include "ui/ImageButtonView.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QTimer>

namespace lunaveil {

ImageButtonView::ImageButtonView(QWidget* parent)
    : QLabel(parent),
      opacity_(new QGraphicsOpacityEffect(this)),
      fade_(new QPropertyAnimation(opacity_, "opacity", this))
{
    opacity_->setOpacity(normalAlpha);
    setGraphicsEffect(opacity_);
    fade_->setDuration(fadeDurationMs);
    setFocusPolicy(Qt::TabFocus);
}

void ImageButtonView::initiate(int id, bool animated)
{
    id_ = id;
    animated_ = animated;
    tracking_ = true;
}

void ImageButtonView::startFadeAnimation()
{
    fadeTo(dimmedAlpha);
    // Every entry brings its own return; the pointer leaving plays no part.
    QTimer::singleShot(fadeBackDelayMs, this, &ImageButtonView::stopFadeAnimation);
}

void ImageButtonView::stopFadeAnimation()
{
    fadeTo(normalAlpha);
}

double ImageButtonView::alphaValue() const
{
    return opacity_->opacity();
}

void ImageButtonView::fadeTo(double alpha)
{
    // A new fade takes over from wherever a running one has got to.
    fade_->stop();
    fade_->setStartValue(opacity_->opacity());
    fade_->setEndValue(alpha);
    fade_->start();
}

void ImageButtonView::click()
{
    if (const auto callback = onClick)
        callback(id_);
}

void ImageButtonView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    click();
}

void ImageButtonView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ImageButtonView::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2.0));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}

void ImageButtonView::enterEvent(QEnterEvent*)
{
    if (tracking_ && animated_)
        startFadeAnimation();
}

}  // namespace lunaveil
