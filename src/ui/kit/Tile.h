#pragma once

#include "ui/kit/LayerCache.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

class QPainter;
class QVBoxLayout;

// Something painted behind a tile's content (the playing waves, the onboarding backdrop).
// The tile clips it to its rounded shape and draws its border over it.
class TileBackdrop : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TileBackdrop() override = default;
    virtual void paint(QPainter& painter, const QRectF& rect) = 0;
    // True when the backdrop keeps within the tile's rounded shape by itself, so that the tile
    // need not clip it (a clip path costs a rasterised mask on every paint).
    virtual bool clipsToTile() const { return false; }
    // The part of a tile `rect` it paints into: a change repaints only that.
    virtual QRectF area(const QRectF& rect) const { return rect; }

signals:
    void changed(); // the tile repaints the backdrop's area
};

// The rounded card that frames a block of the panel: a 20-point rounded rectangle filled with
// the primary colour at 0.06, an optional backdrop clipped to it, and a 1-point inner border at
// 0.06 above the backdrop. Content goes into the tile's own layout (set one with setLayout);
// its contents margins are 12 on every edge, so an empty tile is 24 × 24.
//
// Takes: an optional backdrop (not owned unless parented to the tile). Emits nothing.
class Tile : public QWidget {
    Q_OBJECT
public:
    static constexpr int padding = 12;
    static constexpr double radius = 20;
    static constexpr double fillOpacity = 0.06;
    static constexpr double borderOpacity = 0.06;

    explicit Tile(QWidget* parent = nullptr);

    // A vertical layout on the tile with no margins of its own and `spacing` between rows.
    QVBoxLayout* column(int spacing = 0);

    void setBackdrop(TileBackdrop* backdrop);
    TileBackdrop* backdrop() const { return backdrop_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The tile's shape for a rectangle (shared with views that paint a tile themselves).
    static void paintTile(QPainter& painter, const QRectF& rect, const QWidget* schemeSource,
                          TileBackdrop* backdrop);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<TileBackdrop> backdrop_;
    LayerCache fill_;
    LayerCache border_;
};
