#include "ui/panel/Marquee.h"

#include "ui/kit/Symbols.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double fadeInWidth = 8;
constexpr double fadeOut = 12;
// Room around the rasterised text for glyphs that reach beyond their advance.
constexpr double textMargin = 2;
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
    textImage_ = QImage();
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
    stopSliding();
    offset_ = 0;
    scrolls_ = plan().scrolls;
    update();
    if (!scrolls_)
        return;
    const quint64 generation = generation_;
    pending_ = Clock::schedule(rest, this, [this, generation] { slide(generation); });
}

void Marquee::stopSliding() {
    FrameBeat::stop(beat_);
    beat_ = 0;
}

void Marquee::slide(quint64 generation) {
    if (generation != generation_)
        return;
    // Distance and duration are taken once per pass, from the widths of this moment.
    const Plan now = plan();
    slideDistance_ = now.distance;
    slideDuration_ = now.duration;
    slideStart_ = Clock::monotonic();
    stopSliding();
    beat_ = FrameBeat::listen(this, [this] { step(); });
    pending_ = Clock::schedule(now.duration, this, [this, generation] {
        if (generation != generation_)
            return;
        stopSliding();
        offset_ = 0;
        update();
        pending_ = Clock::schedule(rest, this, [this, generation] { slide(generation); });
    });
}

// Linear in time: the offset of this beat follows from the time since the slide began.
void Marquee::step() {
    const double elapsed = std::chrono::duration<double>(Clock::monotonic() - slideStart_).count();
    const double duration = std::chrono::duration<double>(slideDuration_).count();
    const double progress = duration > 0 ? std::clamp(elapsed / duration, 0.0, 1.0) : 1.0;
    const double offset = -slideDistance_ * progress;
    if (offset == offset_)
        return;
    offset_ = offset;
    update();
}

const QImage& Marquee::textImage(double ratio, const QColor& colour) {
    if (!textImage_.isNull() && textImage_.devicePixelRatio() == ratio && textFont_ == font() &&
        textColour_ == colour.rgba() && textImage_.height() == static_cast<int>(std::ceil(height() * ratio)))
        return textImage_;
    const QSize device(static_cast<int>(std::ceil((textWidth_ + 2 * textMargin) * ratio)),
                       static_cast<int>(std::ceil(height() * ratio)));
    textImage_ = QImage(device, QImage::Format_ARGB32_Premultiplied);
    textImage_.setDevicePixelRatio(ratio);
    textImage_.fill(Qt::transparent);
    if (!textImage_.isNull()) {
        QPainter p(&textImage_);
        p.setFont(font());
        p.setPen(colour);
        const double baseline = (height() - fontMetrics().height()) / 2.0 + fontMetrics().ascent();
        p.drawText(QPointF(textMargin, baseline), text_);
    }
    textFont_ = font();
    textColour_ = colour.rgba();
    return textImage_;
}

const QImage& Marquee::edgeMask(const QSize& device, double ratio, bool fadeIn) {
    QImage& mask = masks_[fadeIn ? 1 : 0];
    if (mask.size() == device && mask.devicePixelRatio() == ratio)
        return mask;
    mask = QImage(device, QImage::Format_ARGB32_Premultiplied);
    mask.setDevicePixelRatio(ratio);
    mask.fill(Qt::black);
    QPainter m(&mask);
    m.setCompositionMode(QPainter::CompositionMode_Source);
    const double w = device.width() / ratio;
    const double h = device.height() / ratio;
    if (fadeIn) {
        QLinearGradient in(0, 0, fadeInWidth, 0);
        in.setColorAt(0, Qt::transparent);
        in.setColorAt(1, Qt::black);
        m.fillRect(QRectF(0, 0, fadeInWidth, h), in);
    }
    QLinearGradient out(w - fadeOut, 0, w, 0);
    out.setColorAt(0, Qt::black);
    out.setColorAt(1, Qt::transparent);
    m.fillRect(QRectF(w - fadeOut, 0, fadeOut, h), out);
    return mask;
}

void Marquee::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF box = rect();
    const double ratio = Symbols::targetRatio(painter);
    const QSize device = (box.size() * ratio).toSize();
    if (device.isEmpty())
        return;
    const auto at = [ratio](double x) { return std::round(x * ratio) / ratio - textMargin; };
    if (!scrolls_) {
        // At rest the title fits: its picture goes straight onto the target.
        painter.drawImage(
            QPointF(box.left() + at(offset_), box.top()),
            textImage(ratio, color_.isValid() ? color_ : palette().color(QPalette::WindowText)));
        return;
    }
    if (layer_.size() != device || layer_.devicePixelRatio() != ratio) {
        layer_ = QImage(device, QImage::Format_ARGB32_Premultiplied);
        layer_.setDevicePixelRatio(ratio);
    }
    layer_.fill(Qt::transparent);
    {
        const QImage& text =
            textImage(ratio, color_.isValid() ? color_ : palette().color(QPalette::WindowText));
        // Whole device pixels: the text moves as it was rasterised.
        QPainter p(&layer_);
        p.drawImage(QPointF(at(offset_), 0), text);
        p.drawImage(QPointF(at(offset_ + textWidth_ + gap_), 0), text);
        // The edge fades: out over the last 12 points always, in over the first 8 only while
        // the text is away from rest.
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(QPointF(0, 0), edgeMask(device, ratio, offset_ != 0));
    }
    painter.drawImage(box.topLeft(), layer_);
}
