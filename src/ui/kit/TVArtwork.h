#pragma once

#include "ui/kit/LayerCache.h"

#include <QWidget>

// The drawn picture shown instead of a cover while a group plays a TV input: a grey-blue
// gradient with a soft light from the top, a "tv.fill" glyph in white, rounded (0.18 × size)
// with a thin white border. The same in both schemes.
//
// Takes: size (edge in points). Emits nothing.
class TVArtwork : public QWidget {
    Q_OBJECT
public:
    explicit TVArtwork(double size, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    static void paint(QPainter& painter, const QRectF& box);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double size_;
    LayerCache layer_;
};
