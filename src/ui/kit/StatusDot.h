#pragma once

#include <QWidget>

// The coloured dot that stands for a health level: green, yellow or red as a soft gradient,
// with a 0.5-point inner border in the text colour at 0.12 (visible on light and dark).
//
// Takes: level, size (diameter in points). Emits nothing. No animation.
enum class StatusLevel { Ok, Warning, Problem };

class StatusDot : public QWidget {
    Q_OBJECT
public:
    StatusDot(StatusLevel level, double size, QWidget* parent = nullptr);

    StatusLevel level() const { return level_; }
    void setLevel(StatusLevel level);
    static QColor color(StatusLevel level);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static void paint(QPainter& painter, const QRectF& rect, StatusLevel level, const QWidget* schemeSource);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    StatusLevel level_;
    double size_;
};
