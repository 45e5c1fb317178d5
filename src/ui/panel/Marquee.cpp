#include "ui/panel/Marquee.h"

#include "ui/kit/Symbols.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace {
constexpr double fadeIn = 8;
constexpr double fadeOut = 12;
} // namespace

Marquee::Marquee(const QString& text, double gap, double speed, QWidget* parent)
    : QWidget(parent), text_(text), gap_(gap), speed_(speed) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    measure();
}

Marquee::Plan Marquee::plan(double textWidth, double boxWidth, double gap, double speed, bool reduceMotion) {
    Plan out;
    out.scrolls = !reduceMotion && textWidth > boxWidth + 1 && boxWidth > 0;
    if (!out.scrolls || speed <= 0)
        return out;
    out.distance = textWidth + gap;
    out.duration = std::chrono::milliseconds(std::llround(out.distance / speed * 1000));
    return out;
}

Marquee::Plan Marquee::plan() const {
    return plan(textWidth_, width(), gap_, speed_, reduceMotion_);
}

void Marquee::setColor(const QColor& color) {
    if (color == color_)
        return;
    color_ = color;
    update();
}

void Marquee::setReduceMotion(bool on) {
    if (on == reduceMotion_)
        return;
    reduceMotion_ = on;
    restart();
}

void Marquee::measure() {
    textWidth_ = fontMetrics().horizontalAdvance(text_);
    updateGeometry();
}

QSize Marquee::sizeHint() const {
    return {static_cast<int>(std::ceil(textWidth_)), fontMetrics().height()};
}

QSize Marquee::minimumSizeHint() const {
    return {0, fontMetrics().height()};
}

void Marquee::resizeEvent(QResizeEvent*) {
    if (plan().scrolls != scrolls_)
        restart();
}

void Marquee::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        measure();
        restart();
    }
    QWidget::changeEvent(event);
}

void Marquee::restart() {
    ++generation_;
    Clock::cancel(pending_);
    pending_ = 0;
    if (slideAnimation_)
        slideAnimation_->stop();
    offset_ = 0;
    scrolls_ = plan().scrolls;
    update();
    if (!scrolls_)
        return;
    const quint64 generation = generation_;
    pending_ = Clock::schedule(rest, this, [this, generation] { slide(generation); });
}

void Marquee::slide(quint64 generation) {
    if (generation != generation_)
        return;
    // Distance and duration are taken once per pass, from the widths of this moment.
    const Plan now = plan();
    if (!slideAnimation_) {
        slideAnimation_ = new QVariantAnimation(this);
        slideAnimation_->setEasingCurve(QEasingCurve::Linear);
        connect(slideAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            offset_ = value.toDouble();
            update();
        });
    }
    slideAnimation_->stop();
    slideAnimation_->setStartValue(0.0);
    slideAnimation_->setEndValue(-now.distance);
    slideAnimation_->setDuration(static_cast<int>(now.duration.count()));
    slideAnimation_->start();
    pending_ = Clock::schedule(now.duration, this, [this, generation] {
        if (generation != generation_)
            return;
        slideAnimation_->stop();
        offset_ = 0;
        update();
        pending_ = Clock::schedule(rest, this, [this, generation] { slide(generation); });
    });
}

void Marquee::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF box = rect();
    const double ratio = Symbols::targetRatio(painter);
    QImage layer((box.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setFont(font());
        p.setPen(color_.isValid() ? color_ : palette().color(QPalette::WindowText));
        const double baseline = (box.height() - fontMetrics().height()) / 2 + fontMetrics().ascent();
        p.drawText(QPointF(offset_, baseline), text_);
        if (scrolls_)
            p.drawText(QPointF(offset_ + textWidth_ + gap_, baseline), text_);
        if (scrolls_) {
            // The edge fades: out over the last 12 points always, in over the first 8 only while
            // the text is away from rest.
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            QImage mask(layer.size(), QImage::Format_ARGB32_Premultiplied);
            mask.setDevicePixelRatio(ratio);
            mask.fill(Qt::black);
            {
                QPainter m(&mask);
                m.setCompositionMode(QPainter::CompositionMode_Source);
                const double w = box.width();
                if (offset_ != 0) {
                    QLinearGradient in(0, 0, fadeIn, 0);
                    in.setColorAt(0, Qt::transparent);
                    in.setColorAt(1, Qt::black);
                    m.fillRect(QRectF(0, 0, fadeIn, box.height()), in);
                }
                QLinearGradient out(w - fadeOut, 0, w, 0);
                out.setColorAt(0, Qt::black);
                out.setColorAt(1, Qt::transparent);
                m.fillRect(QRectF(w - fadeOut, 0, fadeOut, box.height()), out);
            }
            p.drawImage(QPointF(0, 0), mask);
        }
    }
    painter.drawImage(box.topLeft(), layer);
}
