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
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

using namespace std::chrono_literals;

namespace {
// The outline with only every `stride`-th point of its crest (the ends and the closing corners
// kept).
QPolygonF thinned(const QPolygonF& outline, int stride) {
    if (stride <= 1 || outline.size() < 4)
        return outline;
    QPolygonF out;
    out.reserve(outline.size() / stride + 4);
    out.append(outline.first());
    const qsizetype last = outline.size() - 2; // the crest's last point
    for (qsizetype n = 1; n < last; n += stride)
        out.append(outline.at(n));
    out.append(outline.at(last));
    out.append(outline.last());
    return out;
}

// A premultiplied pixel times a coverage of 0…255, each channel rounded.
QRgb scaled(QRgb pixel, int coverage) {
    if (coverage == 255)
        return pixel;
    const auto times = [coverage](uint channel) {
        const uint v = channel * static_cast<uint>(coverage) + 128;
        return static_cast<int>((v + (v >> 8)) >> 8);
    };
    return qRgba(times(static_cast<uint>(qRed(pixel))), times(static_cast<uint>(qGreen(pixel))),
                 times(static_cast<uint>(qBlue(pixel))), times(static_cast<uint>(qAlpha(pixel))));
}
} // namespace

PlayingWaves::PlayingWaves(QObject* parent) : TileBackdrop(parent) {}

PlayingWaves::~PlayingWaves() {
    FrameBeat::stop(frame_);
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
    // The sines and cosines of 2πx/L at the points are the same in every frame of a size: kept,
    // and only combined with the phase (sin(u + p) = sin u cos p + cos u sin p).
    struct Angles {
        double width = -1;
        double length = 0;
        std::vector<double> x, sin, cos;
    };
    thread_local std::array<Angles, 3> tables;
    Angles& angles = tables.at(static_cast<size_t>(std::clamp(i, 0, 2)));
    if (angles.width != W || angles.length != L) {
        angles = Angles{W, L, {}, {}, {}};
        for (int n = 0;; ++n) {
            const double x = 2.0 * n;
            if (!(x < W + 2 || x == W + 2))
                break;
            const double u = 2 * std::numbers::pi * x / L;
            angles.x.push_back(x);
            angles.sin.push_back(std::sin(u));
            angles.cos.push_back(std::cos(u));
        }
    }
    const double sinP = std::sin(p);
    const double cosP = std::cos(p);
    QPolygonF out;
    out.reserve(static_cast<qsizetype>(angles.x.size()) + 2);
    out.append(QPointF(0, H));
    for (size_t n = 0; n < angles.x.size(); ++n)
        out.append(QPointF(angles.x[n], b + a * (angles.sin[n] * cosP + angles.cos[n] * sinP)));
    out.append(QPointF(W, H));
    return out;
}

void PlayingWaves::paintWaves(QPainter& painter, const QSizeF& size, double t, const QColor& colour) {
    painter.setRenderHint(QPainter::Antialiasing);
    // The crest's points lie 2 points apart: drawn small (the blur's low resolution), several
    // of them fall within one pixel, and only every stride-th one is kept.
    const double pixelsApart = 2 * painter.transform().m11() * Symbols::targetRatio(painter);
    const int stride = pixelsApart > 0 ? std::max(1, static_cast<int>(1 / pixelsApart)) : 1;
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
        painter.drawPolygon(thinned(wave(i, size, t), stride), Qt::WindingFill);
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
    if (run && !frame_) {
        frameTime_ = timeAt(RenderMode::now());
        frame_ = FrameBeat::listen(this, [this] { step(); });
    } else if (!run && frame_) {
        FrameBeat::stop(frame_);
        frame_ = 0;
    }
}

void PlayingWaves::step() {
    frameTime_ = timeAt(RenderMode::now());
    ++frames_;
    emit changed();
}

double PlayingWaves::bandTop(const QRectF& rect) {
    // Only the band from the highest crest (0.41 H of the drawn area) down holds paint; the blur
    // spreads it by three radii at most.
    const double areaHeight = rect.height() + 2 * extend;
    return rect.top() - extend + std::max(0.0, 0.41 * areaHeight - 3 * blurRadius);
}

QRectF PlayingWaves::area(const QRectF& rect) const {
    const double top = std::clamp(std::floor(bandTop(rect)), rect.top(), rect.bottom());
    return QRectF(rect.left(), top, rect.width(), rect.bottom() - top);
}

void PlayingWaves::paint(QPainter& painter, const QRectF& rect) {
    // About to fade in, still invisible: the frame is composed all the same, so that the
    // buffers are ready when the waves show (the panel paints itself once while hidden).
    if (opacity_ <= 0 && !playing_)
        return;
    // While the waves run, a repaint between two beats (a ticking label under the band) shows
    // the last beat's frame: it is composed once per beat, not once per repaint.
    const double t = frame_ ? frameTime_ : timeAt(RenderMode::now());
    const double ratio = Symbols::targetRatio(painter);
    // The picture covers the band inside the tile, from a whole device pixel on.
    const double top = std::max(rect.top(), std::floor(bandTop(rect) * ratio) / ratio);
    const QRectF visible(rect.left(), top, rect.width(), rect.bottom() - top);
    if (visible.height() <= 0)
        return;
    if (picture_.isNull() || pictureTime_ != t || pictureSize_ != rect.size() || pictureRatio_ != ratio ||
        pictureColour_ != colour_.rgba())
        compose(rect, visible, ratio, t);
    if (opacity_ <= 0)
        return;
    painter.save();
    painter.setOpacity(painter.opacity() * opacity_);
    painter.drawImage(visible.topLeft(), picture_);
    painter.restore();
}

void PlayingWaves::compose(const QRectF& rect, const QRectF& visible, double ratio, double t) {
    const QRectF area = rect.adjusted(-extend, -extend, extend, extend);
    const double bandTop = std::max(0.0, 0.41 * area.height() - 3 * blurRadius);
    const QRectF band = area.adjusted(0, bandTop, 0, 0);
    // The blur is wide: the bands are drawn and blurred at the low resolution it would work at
    // anyway (half the target's, reduced once more as the blur reduces a wide radius), then
    // scaled up once, straight into the frame.
    const double sigma = blurRadius * ratio / 2;
    const int reduction = Blur::reduction(sigma);
    const double scale = ratio / 2 / reduction;
    const QSize layerSize = (band.size() * scale).toSize();
    if (layer_.size() != layerSize)
        layer_ = QImage(layerSize, QImage::Format_ARGB32_Premultiplied);
    layer_.fill(Qt::transparent);
    {
        QPainter p(&layer_);
        p.scale(scale, scale);
        p.translate(0, -bandTop);
        paintWaves(p, area.size(), t, colour_);
    }
    Blur::boxes(layer_, sigma / reduction, blurred_);

    const QSize device(static_cast<int>(std::ceil(visible.width() * ratio)),
                       static_cast<int>(std::ceil(visible.height() * ratio)));
    if (picture_.size() != device || picture_.devicePixelRatio() != ratio) {
        picture_ = QImage(device, QImage::Format_ARGB32_Premultiplied);
        picture_.setDevicePixelRatio(ratio);
    }
    // The band reaches beyond the frame left, right and below: it replaces every pixel but
    // those of the rows above its top (the frame starts at a whole device pixel).
    const int clear =
        std::min(picture_.height(), static_cast<int>(std::ceil((band.top() - visible.top()) * ratio)) + 1);
    for (int y = 0; y < clear; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(picture_.scanLine(y)), picture_.width(), QRgb(0));
    {
        QPainter p(&picture_);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.translate(-visible.topLeft());
        p.drawImage(band, blurred_);
    }
    // Cut to the tile's rounded shape: only its corners lie outside it. Their pixels are
    // multiplied by the shape's coverage one by one (a painter would go through its slow
    // path for this composition at a device pixel ratio).
    const QImage& mask = tileMask(rect, visible, ratio);
    const double r = Tile::radius;
    for (const QPointF& corner :
         {rect.topLeft(), QPointF(rect.right() - r, rect.top()), QPointF(rect.left(), rect.bottom() - r),
          QPointF(rect.right() - r, rect.bottom() - r)}) {
        const QRectF part = QRectF(corner, QSizeF(r, r)).intersected(visible).translated(-visible.topLeft());
        const QRect pixels =
            QRectF(part.topLeft() * ratio, part.size() * ratio).toAlignedRect() & picture_.rect();
        for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture_.scanLine(y));
            const auto* cover = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                line[x] = scaled(line[x], qAlpha(cover[x]));
        }
    }
    pictureTime_ = t;
    pictureSize_ = rect.size();
    pictureRatio_ = ratio;
    pictureColour_ = colour_.rgba();
}

const QImage& PlayingWaves::tileMask(const QRectF& rect, const QRectF& visible, double ratio) {
    if (mask_.size() == picture_.size() && mask_.devicePixelRatio() == ratio && maskSize_ == rect.size() &&
        maskTop_ == visible.top() - rect.top())
        return mask_;
    mask_ = QImage(picture_.size(), QImage::Format_ARGB32_Premultiplied);
    mask_.setDevicePixelRatio(ratio);
    mask_.fill(Qt::transparent);
    QPainter m(&mask_);
    m.setRenderHint(QPainter::Antialiasing);
    m.translate(-visible.topLeft());
    QPainterPath shape;
    shape.addRoundedRect(rect, Tile::radius, Tile::radius);
    m.fillPath(shape, Qt::black);
    maskSize_ = rect.size();
    maskTop_ = visible.top() - rect.top();
    return mask_;
}
