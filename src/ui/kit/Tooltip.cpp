#include "ui/kit/Tooltip.h"

#include "ui/kit/Motion.h"
#include "ui/kit/TextStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <cmath>

using namespace std::chrono_literals;

namespace {
constexpr double padX = 8;
constexpr double padY = 5;
constexpr double radius = 7;
QFont bubbleFont() {
    return Type::font(TextStyle::Caption, QFont::Medium);
}
} // namespace

Tooltip::Tooltip(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    resize(sizeHint());
    hide();
}

void Tooltip::setText(const QString& text) {
    text_ = text;
    resize(sizeHint());
    update();
}

QSize Tooltip::sizeHint() const {
    const QFontMetricsF metrics(bubbleFont());
    return QSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(text_) + 2 * padX)),
                 static_cast<int>(std::ceil(metrics.height() + 2 * padY)));
}

void Tooltip::appear(bool animated) {
    resize(sizeHint());
    show();
    raise();
    Motion::animate(this, animation_, animated ? progress_ : 1.0, 1.0, animated ? Motion::tooltip : 0ms,
                    Motion::panelCurve(), [this](double p) {
                        progress_ = p;
                        update();
                    });
}

void Tooltip::disappear(bool animated) {
    Motion::animate(this, animation_, progress_, 0.0, animated ? Motion::tooltip : 0ms, Motion::panelCurve(),
                    [this](double p) {
                        progress_ = p;
                        if (p <= 0.0)
                            hide();
                        update();
                    });
}

void Tooltip::paintEvent(QPaintEvent*) {
    if (progress_ <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(progress_);
    const double scale = Motion::pressScale + (1 - Motion::pressScale) * progress_;
    const QPointF anchor(width() / 2.0, anchorBottom_ ? height() : 0.0);
    painter.translate(anchor);
    painter.scale(scale, scale);
    painter.translate(-anchor);
    const QRectF box(rect());
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    painter.fillPath(shape, QColor(0, 0, 0, static_cast<int>(std::lround(0.85 * 255))));
    painter.setPen(QPen(QColor(255, 255, 255, static_cast<int>(std::lround(0.08 * 255))), 1.0));
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    painter.setPen(Qt::white);
    painter.setFont(bubbleFont());
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text_);
}
