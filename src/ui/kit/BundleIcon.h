#pragma once

#include <QColor>
#include <QWidget>

class QSvgRenderer;

// One of the program's own SVG icons by name ("airplay", "quit", "sleep", "more", "menubar",
// "ci-check-circle", …) as a square template image in one ink colour.
//
// Takes: name, size (side of the square in points), colour (the ink; default primary ink of the
// widget's scheme). Emits nothing. A name without a resource draws nothing and takes no space;
// it is looked up again on the next paint or size query.
class BundleIcon : public QWidget {
    Q_OBJECT
public:
    BundleIcon(const QString& name, double size, QWidget* parent = nullptr);

    QString name() const { return name_; }
    void setName(const QString& name);
    double iconSize() const { return size_; }
    void setIconSize(double size);
    // Invalid colour (the default) means the primary ink of the current scheme.
    void setColor(const QColor& color);
    QColor color() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The cached loader: each SVG is parsed once per run; a miss is not remembered.
    static QSvgRenderer* image(const QString& name);
    // Draws icon `name` fitted into `rect` in `color`; false when there is no such icon.
    static bool paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    double size_;
    QColor color_;
};
