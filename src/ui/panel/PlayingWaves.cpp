#include "ui/panel/PlayingWaves.h"

#include "core/RenderMode.h"
#include "ui/kit/Blur.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/kit/Symbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace std::chrono_literals;

PlayingWaves::PlayingWaves(QObject* parent) : TileBackdrop(parent) {}

PlayingWaves::~PlayingWaves() {
    Clock::cancel(frame_);
}

double PlayingWaves::timeAt(const QDateTime& when) {
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return reference.msecsTo(when) / 1000.0;
}

QPolygonF PlayingWaves::wave(int i, const QSizeF& size, double t) {
    const double W = size.width();
    const double H = size.height();
    const double b = (0.5 + 0.13 * i) * H;
    const double a = (0.09 - 0.02 * i) * H;
    const double L = (0.9 + 0.35 * i) * W;
    // The phase grows with the seconds since 2001 (about 1e9): reduced once here, so that every
    // sine below takes a small argument (large ones cost a slow reduction each).
    const double p = std::fmod(1.7 * i + (0.28 + 0.12 * i) * t, 2 * std::numbers::pi);
    QPolygonF out;
    out.append(QPointF(0, H));
    for (int n = 0;; ++n) {
        const double x = 2.0 * n;
        if (!(x < W + 2 || x == W + 2))
            break;
        out.append(QPointF(x, b + a * std::sin(2 * std::numbers::pi * x / L + p)));
    }
    out.append(QPointF(W, H));
    return out;
}

void PlayingWaves::paintWaves(QPainter& painter, const QSizeF& size, double t, const QColor& colour) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        const double b = (0.5 + 0.13 * i) * size.height();
        const double a = (0.09 - 0.02 * i) * size.height();
        QLinearGradient fill(0, b - a, 0, size.height());
        QColor top = colour;
        top.setAlphaF(0.07);
        QColor bottom = colour;
        bottom.setAlphaF(0);
        fill.setColorAt(0, top);
        fill.setColorAt(1, bottom);
        painter.setBrush(fill);
        painter.drawPolygon(wave(i, size, t), Qt::WindingFill);
    }
}

void PlayingWaves::setPlaying(bool playing) {
    if (playing == playing_)
        return;
    playing_ = playing;
    Motion::animate(this, fade_, opacity_, playing ? 1 : 0, 800ms, Motion::easeInOut(), [this](double value) {
        opacity_ = value;
        emit changed();
    });
    schedule();
}

void PlayingWaves::setColor(const QColor& colour) {
    if (colour == colour_)
        return;
    colour_ = colour;
    emit changed();
}

void PlayingWaves::setShown(bool shown) {
    if (shown == shown_)
        return;
    shown_ = shown;
    schedule();
}

void PlayingWaves::setReduceMotion(bool on) {
    if (on == reduceMotion_)
        return;
    reduceMotion_ = on;
    schedule();
}

void PlayingWaves::schedule() {
    const bool run = playing_ && shown_ && !reduceMotion_;
    if (run && !frame_)
        frame_ = Clock::schedule(frame, this, [this] { step(); });
    else if (!run && frame_) {
        Clock::cancel(frame_);
        frame_ = 0;
    }
}

void PlayingWaves::step() {
    frame_ = Clock::schedule(frame, this, [this] { step(); });
    ++frames_;
    emit changed();
}

void PlayingWaves::paint(QPainter& painter, const QRectF& rect) {
    if (opacity_ <= 0)
        return;
    const double t = timeAt(RenderMode::now());
    const QRectF area = rect.adjusted(-extend, -extend, extend, extend);
    // Only the band from the highest crest (0.41 H) down holds paint; the blur spreads it by
    // three radii at most. Above that the picture is empty and is neither drawn nor blurred.
    const double bandTop = std::max(0.0, 0.41 * area.height() - 3 * blurRadius);
    const QRectF band = area.adjusted(0, bandTop, 0, 0);
    // Drawn and blurred at half the target resolution: the blur hides the lower detail and the
    // frame costs a quarter of the pixels.
    const double ratio = Symbols::targetRatio(painter) / 2;
    const QColor ink = colour_;
    if (cache_.isNull() || cacheTime_ != t || cacheSize_ != area.size() || cacheColour_ != ink.rgba()) {
        QImage layer((band.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        {
            QPainter p(&layer);
            p.scale(ratio, ratio);
            p.translate(0, -bandTop);
            paintWaves(p, area.size(), t, ink);
        }
        cache_ = Blur::gaussian(layer, blurRadius * ratio);
        cacheTime_ = t;
        cacheSize_ = area.size();
        cacheColour_ = ink.rgba();
    }
    painter.save();
    painter.setOpacity(painter.opacity() * opacity_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(band, cache_);
    painter.restore();
}
