#pragma once

#include "ui/kit/Ink.h"

#include <QWidget>

#include <functional>

class QPainter;

// A switch drawn as a picture, 26 × 15, for views that must look the same on every desktop:
// it takes no input and reads no desktop palette. Either always on (an accent capsule with the
// white knob over its trailing end, inset 1.5) or driven by an amount p from 0 (off) to 1 (on):
// the accent track at opacity p over a faint capsule, the knob with a soft shadow moved right
// by 11·p from the leading end.
class DrawnSwitch : public QWidget {
    Q_OBJECT
public:
    static constexpr double trackWidth = 26;
    static constexpr double trackHeight = 15;
    static constexpr double inset = 1.5;
    static constexpr double travel = 11;

    // Always on.
    explicit DrawnSwitch(QWidget* parent = nullptr);
    // On by the amount `amount()` gives at each paint.
    DrawnSwitch(std::function<double()> amount, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {26, 15}; }

    // The fixed accent colour of drawn switches.
    static QColor accent(Scheme scheme);
    static void paintOn(QPainter& painter, const QRectF& track, Scheme scheme);
    static void paintAmount(QPainter& painter, const QRectF& track, Scheme scheme, double amount);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<double()> amount_;
};
