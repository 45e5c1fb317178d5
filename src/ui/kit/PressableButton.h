#pragma once

#include "ui/kit/Hoverable.h"
#include "ui/kit/LayerCache.h"

#include <QAbstractButton>

class QVariantAnimation;

// The base of every clickable control of the panel: its content shrinks to 0.96 about its
// centre while pressed (panel curve, 0.12 s, both ways); nothing else changes. Optionally
// hoverable (HoverOptions): then the button's contents margins are the hover padding, the chrome
// is painted behind the content and `ink()` follows the hover.
//
// Takes: setHover(options) (optional), a content size (setContentSize or a subclass's
// contentSize()). Emits: clicked() once per click (QAbstractButton; no auto-repeat).
// Subclasses paint in paintContent(painter, contentRect) in unscaled coordinates; the
// press scale applies to the background (hover chrome) and content alike.
class PressableButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PressableButton(QWidget* parent = nullptr);

    void setHover(const HoverOptions& options);
    Hoverable* hover() const { return hover_; }

    void setContentSize(const QSizeF& size);
    virtual QSizeF contentSize() const { return contentSize_; }

    // The ink to draw the content in: the hover ink, or the resting level's ink without hover.
    QColor ink() const;
    void setRestLevel(InkLevel level);

    double pressProgress() const { return press_; } // 0 released, 1 fully pressed
    QRectF contentRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    virtual void paintContent(QPainter& painter, const QRectF& rect) = 0;
    // Painted behind the content; default: the hover chrome over the padded rect.
    virtual void paintBackground(QPainter& painter);
    // A button whose background and content follow from a few values adds them to `key` and
    // returns true: at rest it is then drawn once per state and copied on other repaints (the
    // panel repaints what lies over its moving backdrop on every frame). The size, ink, hover and
    // scheme are in the key already. Default: drawn every time.
    virtual bool layerKey(LayerKey& key) const;
    // With a layer: what goes into it (default: all the content) and what is drawn over it on
    // every repaint (default: nothing). Text belongs over it: glyphs blended into a transparent
    // layer come out a little different from glyphs drawn straight onto the picture.
    virtual void paintLayerContent(QPainter& painter, const QRectF& rect) { paintContent(painter, rect); }
    virtual void paintOverLayer(QPainter&, const QRectF&) {}
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void setPress(double progress);
    void scaleChildren();

    Hoverable* hover_ = nullptr;
    QSizeF contentSize_{16, 16};
    InkLevel rest_ = InkLevel::Primary;
    double press_ = 0;
    QVariantAnimation* pressAnimation_ = nullptr;
    LayerCache layer_;
};
