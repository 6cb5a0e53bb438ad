#pragma once
// An image that acts as a button: a press reports the button's tag; when animated it dims briefly as the pointer enters.

#include <QLabel>

#include <functional>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace lunaveil {

// Shows its image as a QLabel does (setPixmap, or the "pixmap" property of an interface file).
// Tab reaches it; with the focus it wears a ring in the highlight colour.
class ImageButtonView : public QLabel {
    Q_OBJECT
public:
    static constexpr double dimmedAlpha = 0.3;
    static constexpr double normalAlpha = 1.0;
    static constexpr int fadeBackDelayMs = 200;
    // Each fade takes a quarter second, longer than the delay: the dimming is a brief dip.
    static constexpr int fadeDurationMs = 250;

    explicit ImageButtonView(QWidget* parent = nullptr);

    // Called with the tag on every mouse press, and on Space or Return while the button has the focus.
    std::function<void(int)> onClick;
    // What a click does: calls onClick.
    void click();

    // Stores the tag and whether to dim on hover, and starts watching the pointer: before this
    // call the button ignores the pointer entering it.
    void initiate(int id, bool animated);

    // Fades to dimmedAlpha and, fadeBackDelayMs later, back to normalAlpha.
    void startFadeAnimation();
    // Fades back to normalAlpha.
    void stopFadeAnimation();

    // The opacity the button is drawn with right now.
    double alphaValue() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fadeTo(double alpha);

    int id_ = 0;
    bool animated_ = true;
    bool tracking_ = false;
    QGraphicsOpacityEffect* opacity_;
    QPropertyAnimation* fade_;
};

}  // namespace lunaveil
