#include "ui/GrayGradientView.h"

#include <QLinearGradient>
#include <QPainter>

namespace lunaveil {

GrayGradientView::GrayGradientView(QWidget* parent)
    : QWidget(parent)
{
}

void GrayGradientView::paintEvent(QPaintEvent*)
{
    // The whole view, wherever it sits in its parent: darker colour along the bottom edge.
    QLinearGradient gradient(0.0, height(), 0.0, 0.0);
    gradient.setColorAt(0.0, startingColour());
    gradient.setColorAt(1.0, endingColour());
    QPainter painter(this);
    painter.fillRect(rect(), gradient);
}

}  // namespace lunaveil
