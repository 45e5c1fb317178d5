#pragma once

#include <QGraphicsEffect>

#include <optional>

// Draws a widget scaled about a point, its centre unless told otherwise (the hovered cover grows
// a little; a pressed button's child widgets shrink about the button's centre), and optionally
// faded (a control that scales and fades in or out). At scale 1 and opacity 1 the widget is drawn
// as it is. Growing beyond the widget's own rectangle is clipped to its parent,
// so the scale should stay small or the parent leave room.
class ScaleEffect : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit ScaleEffect(QObject* parent = nullptr);

    double scale() const { return scale_; }
    void setScale(double scale);
    double opacity() const { return opacity_; }
    void setOpacity(double opacity); // 0 … 1
    // The fixed point of the scale in the widget's own coordinates; none: its centre.
    void setAnchor(std::optional<QPointF> anchor);
    std::optional<QPointF> anchor() const { return anchor_; }

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    double scale_ = 1;
    double opacity_ = 1;
    std::optional<QPointF> anchor_;
};
