#pragma once

#include "ui/kit/EasedFlag.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"

#include "ui/kit/LayerCache.h"

#include <QWidget>

class QVariantAnimation;

// The panel's volume control: a capsule that fills from the left on a square-root curve (low
// volumes get more of the track), with the number written inside it; where the fill covers
// the digits they read in the inverse colour. The grip shows while hovered once the fill is
// long enough.
//
// Takes: value (0…100, shown; animated over 0.3 s except while dragging), the control's
// height (all inner sizes follow it; the digits roll when the value changes; the width is whatever the layout
// gives), focused (the keyboard highlight), name (accessible name). Emits: changed(int) on every pointer
// event of a press or drag (also when the value is the same) and on increment()/decrement() (±4). It never
// changes its own value: the caller passes the new value back through setValue().
class VolumeSlider : public QWidget {
    Q_OBJECT
public:
    explicit VolumeSlider(int height = 30, QWidget* parent = nullptr);

    int value() const { return value_; }
    void setValue(int value);
    double controlHeight() const { return h_; }
    void setControlHeight(int height);
    bool highlighted() const { return focused_; }
    void setHighlighted(bool focused);
    void setName(const QString& name);
    bool dragging() const { return dragging_; }
    bool hovering() const { return hover_.isOn(); }
    double shownValue() const { return shown_; }
    double labelRoll() const { return roll_; } // 1 when the digits are at rest

    // Accessibility adjustments.
    void increment();
    void decrement();

    // The geometry, as pure functions of the width W and height h.
    static double track(double width, double height);
    static double fillWidth(double value, double width, double height);
    static int valueAt(double x, double width, double height);
    static bool gripVisible(double value, double width, double height);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void changed(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void report(double x);
    void drawLabel(QPainter& painter, const QRectF& box, const QFont& font, const QColor& colour) const;
    void paintSlider(QPainter& painter, Scheme scheme);
    void setHovering(bool hovering);

    int value_ = 0;
    double shown_ = 0;
    double h_ = 30;
    bool focused_ = false;
    bool dragging_ = false;
    QVariantAnimation* valueAnimation_ = nullptr;
    EasedFlag hover_{this, Motion::hover, Motion::hoverCurve(), [this] { update(); }};
    QVariantAnimation* rollAnimation_ = nullptr;
    int previous_ = 0;
    double roll_ = 1;
    bool rollUp_ = true;
    LayerCache track_;
    LayerCache fill_;
    LayerCache face_;
};
