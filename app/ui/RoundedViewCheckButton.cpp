#include "ui/RoundedViewCheckButton.h"

#include "ui/QtColour.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace lunaveil {
namespace {

constexpr double borderShownWidth = 1.0;
constexpr double roundedRadius = 6.0;
constexpr double squareRadius = 2.0;

}  // namespace

RoundedViewCheckButton::RoundedViewCheckButton(QWidget* parent)
    : QWidget(parent), backgroundColour_(toQColor(color))
{
    setFocusPolicy(Qt::TabFocus);
}

void RoundedViewCheckButton::initiate(const Colour& colour, const std::optional<Colour>& displayColour,
                                      bool selected, bool rounded)
{
    color = colour;
    selected_ = selected;
    displayColor_ = displayColour;
    backgroundColour_ = toQColor(displayColour.value_or(colour));
    showBorder(selected);
    cornerRadius_ = rounded ? roundedRadius : squareRadius;
    update();
}

void RoundedViewCheckButton::setCustomColor(const Colour& colour)
{
    backgroundColour_ = toQColor(colour);
    update();
}

void RoundedViewCheckButton::select(bool selected)
{
    selected_ = selected;
    showBorder(selected);
}

void RoundedViewCheckButton::setFrame(const QRectF& frame)
{
    frame_ = frame;
    setGeometry(frame.toAlignedRect());
    update();
}

void RoundedViewCheckButton::showBorder(bool shown)
{
    borderWidth_ = shown ? borderShownWidth : 0.0;
    borderColour_ = shown ? QColor(Qt::white) : QColor(Qt::transparent);
    update();
}

void RoundedViewCheckButton::paintEvent(QPaintEvent*)
{
    // The square sits at its exact, possibly fractional, place inside the whole-pixel widget.
    // Placed some other way (an interface file, say), it fills its widget.
    const QRectF square = frame_.isValid() && geometry() == frame_.toAlignedRect()
        ? frame_.translated(-QPointF(pos())) : QRectF(rect());
    const double radius = std::min(cornerRadius_, std::min(square.width(), square.height()) / 2.0);
    QPainterPath shape;
    shape.addRoundedRect(square, radius, radius);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape, backgroundColour_);
    if (borderWidth_ > 0.0) {
        // The border lies inside the square, over the fill, clipped to the rounded shape.
        painter.setClipPath(shape);
        painter.setPen(QPen(borderColour_, 2.0 * borderWidth_));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }
    if (hasFocus()) {
        // Within the widget, so that no neighbour paints over it; a selected swatch shows both.
        constexpr double ring = 2.0;
        const double innerRadius = std::max(0.0, radius - ring / 2);
        painter.setClipping(false);
        painter.setPen(QPen(palette().color(QPalette::Highlight), ring));
        painter.setBrush(Qt::NoBrush);
        const QRectF inner = square.adjusted(ring / 2, ring / 2, -ring / 2, -ring / 2);
        painter.drawRoundedRect(inner, innerRadius, innerRadius);
    }
}

void RoundedViewCheckButton::click()
{
    if (const auto callback = onClick)
        callback(color);
}

void RoundedViewCheckButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    click();
}

void RoundedViewCheckButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        click();
        return;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (const auto callback = onStep) {
            callback(event->key() == Qt::Key_Left || event->key() == Qt::Key_Up ? -1 : 1);
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void RoundedViewCheckButton::enterEvent(QEnterEvent*)
{
    if (isEnabled())
        showBorder(true);
}

void RoundedViewCheckButton::leaveEvent(QEvent*)
{
    if (!selected_ && isEnabled())
        showBorder(false);
}

}  // namespace lunaveil
