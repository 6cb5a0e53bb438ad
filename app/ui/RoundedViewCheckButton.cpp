#include "ui/RoundedViewCheckButton.h"

#include "ui/QtColour.h"

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
}

void RoundedViewCheckButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (const auto callback = onClick)
        callback(color);
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
