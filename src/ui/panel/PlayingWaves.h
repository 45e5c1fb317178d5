#pragma once

#include "ui/kit/FrameBeat.h"
#include "ui/kit/Tile.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QPolygonF>

class QVariantAnimation;

// The now-playing tile's backdrop: three soft sine bands in its lower half that drift while the
// group plays and fade in and out (0.8 s) when it starts and stops. Redrawn on the panel's frame
// beat (at most 30 times a second), and only while playing, the panel is shown and reduce motion
// is off; the bands are drawn and blurred at low resolution, 30 points beyond the tile on every
// side. Each frame is composed once, cut to the tile's rounded shape, and then only blitted
// until the next one: repaints of the tile for other reasons cost a copy.
class PlayingWaves : public TileBackdrop {
    Q_OBJECT
public:
    static constexpr auto frame = FrameBeat::interval; // at most 30 frames a second
    static constexpr double extend = 30;
    static constexpr double blurRadius = 9;

    explicit PlayingWaves(QObject* parent = nullptr);
    ~PlayingWaves() override;

    void setPlaying(bool playing);
    void setShown(bool shown);
    // The scheme's primary colour, which the bands are drawn in.
    void setColor(const QColor& colour);
    void setReduceMotion(bool on);
    bool playing() const { return playing_; }
    bool running() const { return frame_ != 0; }
    double opacity() const { return opacity_; }
    int frames() const { return frames_; }

    // Seconds since 1 January 2001 UTC, the waves' time base, so the drift goes on seamlessly.
    static double timeAt(const QDateTime& when);
    // The outline of wave i (0…2) in a W × H area at time t, y downwards: from (0, H) along the
    // crest at x = 0, 2, 4, … to (W, H), closed.
    static QPolygonF wave(int i, const QSizeF& size, double t);
    // The three bands in `colour` (the scheme's primary) on a transparent picture.
    static void paintWaves(QPainter& painter, const QSizeF& size, double t, const QColor& colour);

    void paint(QPainter& painter, const QRectF& rect) override;
    bool clipsToTile() const override { return true; }
    QRectF area(const QRectF& rect) const override;

private:
    // Where paint begins in a tile `rect`: the highest crest less three blur radii.
    static double bandTop(const QRectF& rect);
    void schedule();
    void step();
    // Draws, blurs and cuts the frame for time `t` into picture_, covering `visible` of `rect`.
    void compose(const QRectF& rect, const QRectF& visible, double ratio, double t);
    const QImage& tileMask(const QRectF& rect, const QRectF& visible, double ratio);

    QColor colour_ = Qt::black;
    bool playing_ = false;
    bool shown_ = true;
    bool reduceMotion_ = false;
    double opacity_ = 0;
    int frames_ = 0;
    FrameBeat::Id frame_ = 0;
    double frameTime_ = 0; // the waves' time at the last beat while they run
    QVariantAnimation* fade_ = nullptr;
    // The last composed frame, kept while nothing moves, and the buffers it is made in (reused
    // from frame to frame).
    QImage picture_;
    double pictureTime_ = -1;
    QSizeF pictureSize_;
    double pictureRatio_ = 0;
    QRgb pictureColour_ = 0;
    QImage layer_;
    QImage blurred_;
    QImage mask_;
    QSizeF maskSize_;
    double maskTop_ = 0;
};
