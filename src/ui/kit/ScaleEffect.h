#pragma once

#include <QGraphicsEffect>

// Draws a widget scaled about its centre (the hovered cover grows a little). At scale 1 the
// widget is drawn as it is. Growing beyond the widget's own rectangle is clipped to its parent,
// so the scale should stay small or the parent leave room.
class ScaleEffect : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit ScaleEffect(QObject* parent = nullptr);

    double scale() const { return scale_; }
    void setScale(double scale);

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    double scale_ = 1;
};
