#pragma once
// One colour swatch of the popover: a rounded square that shows a colour and reports clicks on it.

#include "common/Colour.h"

#include <QColor>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>

namespace lunaveil {

// The swatch's enabled state is QWidget's: while disabled it gives no hover border (and Qt
// delivers it no clicks). Tab reaches it; with the focus it wears a ring in the highlight colour. Its frame may be fractional: the widget covers the smallest whole-pixel
// rectangle around it and paints the square at its exact place.
class RoundedViewCheckButton : public QWidget {
    Q_OBJECT
public:
    explicit RoundedViewCheckButton(QWidget* parent = nullptr);

    // The colour the swatch stands for; passed to onClick.
    Colour color = Colour::redColor();
    // Called with color on every mouse press, and on Space or Return while the swatch has the focus.
    std::function<void(const Colour&)> onClick;
    // Called with -1 or +1 when an arrow key asks for the swatch before or after this one.
    std::function<void(int)> onStep;

    // Sets up the look: the swatch shows displayColor when given, else color; a selected swatch
    // has the white border; rounded gives corner radius 6, else 2.
    void initiate(const Colour& color, const std::optional<Colour>& displayColor, bool selected, bool rounded);
    // Shows colour on the swatch; color and the display colour stay as they are.
    void setCustomColor(const Colour& colour);
    // Shows or removes the white selection border.
    void select(bool selected);
    // What a click does: calls onClick.
    void click();

    // Places the swatch at an exact, possibly fractional, rectangle of its parent.
    void setFrame(const QRectF& frame);
    QRectF frame() const { return frame_; }

    bool isSelected() const { return selected_; }
    const std::optional<Colour>& displayColor() const { return displayColor_; }
    // What is painted: fill, border and corner radius, in logical pixels.
    QColor backgroundColour() const { return backgroundColour_; }
    double borderWidth() const { return borderWidth_; }
    QColor borderColour() const { return borderColour_; }
    double cornerRadius() const { return cornerRadius_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void showBorder(bool shown);

    bool selected_ = false;
    std::optional<Colour> displayColor_;
    QRectF frame_;
    QColor backgroundColour_;
    double borderWidth_ = 0.0;
    QColor borderColour_ = Qt::transparent;
    double cornerRadius_ = 0.0;
};

}  // namespace lunaveil
