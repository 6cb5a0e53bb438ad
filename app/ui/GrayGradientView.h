#pragma once
// The popover's background: a fixed dark-grey vertical gradient, darker at the bottom.

#include <QColor>
#include <QWidget>

namespace lunaveil {

class GrayGradientView : public QWidget {
    Q_OBJECT
public:
    static constexpr QColor startingColour() { return QColor(42, 43, 47); }  // along the bottom edge
    static constexpr QColor endingColour() { return QColor(94, 97, 106); }   // along the top edge

    explicit GrayGradientView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace lunaveil
