#pragma once

#include "ui/kit/EasedFlag.h"
#include "ui/kit/Motion.h"

#include <QWidget>

class QVariantAnimation;

// A whole number from -10 to 10 with a marked centre, for bass and treble. It draws the value it
// is given and reports each new value under the pointer through `changed`; the owner stores it and
// hands it back with setValue. A double click resets to 0 when its second click ends.
//
// A new value glides there over 0.18 s, except while dragging, when the knob follows the pointer,
// and while hidden;
// the knob grows and the track lightens over 0.12 s when a drag starts (back when it ends), and the
// track lightens with the hover curve under the pointer.
class EQSlider : public QWidget {
    Q_OBJECT
public:
    explicit EQSlider(int height = 16, QWidget* parent = nullptr);

    int value() const { return value_; }
    void setValue(int value);
    bool dragging() const { return drag_.isOn(); }
    bool hovering() const { return hover_.isOn(); }

    // What is drawn at this moment: the knob's value (between two whole values while gliding),
    // the fill's opacity (0 at the centre), the knob's scale, the track's opacity.
    double shownValue() const { return shown_; }
    double fillOpacity() const { return fill_; }
    double knobScale() const;
    double trackOpacity() const;

    // Assistive adjustment: one step, reported even at the bound.
    void increment();
    void decrement();

    // The x position of a value in a control of this size.
    static double position(int value, double width, double height);
    // The value under the pointer at x.
    static int valueAt(double x, double width, double height);

    QSize sizeHint() const override;

signals:
    void changed(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void report(double x);
    void setDragging(bool dragging);
    void setHovering(bool hovering);

    int value_ = 0;
    int height_;
    bool resetOnRelease_ = false;
    double shown_ = 0;
    double fill_ = 0;
    QVariantAnimation* valueAnimation_ = nullptr;
    QVariantAnimation* fillAnimation_ = nullptr;
    EasedFlag drag_{this, Motion::press, Motion::panelCurve(), [this] { update(); }};
    EasedFlag hover_{this, Motion::hover, Motion::hoverCurve(), [this] { update(); }};
};
