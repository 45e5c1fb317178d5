#pragma once

#include "ui/kit/PressableButton.h"

// The footer's close button: an 8-point bold "xmark" on an 18 × 18 circle. Ink and circle rise
// together (secondary on 0.06 to primary on 0.14) while the pointer hovers, animated with the
// hover curve, or at once while the keyboard focus sits on it. Its hit area is the circle
// enlarged by 6 points on every side; the widget is that large, so the footer places it by hand
// over an 18 × 18 slot rather than in a layout.
class FooterCloseButton : public PressableButton {
    Q_OBJECT
public:
    static constexpr double face = 18;
    static constexpr double reach = 6;

    explicit FooterCloseButton(QWidget* parent = nullptr);

    void setKeyed(bool keyed);
    bool keyed() const { return keyed_; }
    // 0 at rest … 1 raised (hovered or keyed).
    double emphasis() const;
    double circleFill() const;

protected:
    void paintBackground(QPainter& painter) override;
    void paintContent(QPainter& painter, const QRectF& rect) override;
    bool hitButton(const QPoint& pos) const override;

private:
    bool keyed_ = false;
};
