#include "ui/kit/Motion.h"

#include <QVariantAnimation>

namespace {

QEasingCurve cubic(double x1, double y1, double x2, double y2) {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1, 1));
    return curve;
}

std::optional<QDateTime>& warmth() {
    static std::optional<QDateTime> last;
    return last;
}

} // namespace

namespace Motion {

QEasingCurve panelCurve() {
    static const QEasingCurve curve = cubic(0.23, 1, 0.32, 1);
    return curve;
}

QEasingCurve hoverCurve() {
    static const QEasingCurve curve = cubic(0.25, 0.1, 0.25, 1);
    return curve;
}

QEasingCurve easeOut() {
    static const QEasingCurve curve = cubic(0, 0, 0.58, 1);
    return curve;
}

QEasingCurve easeInOut() {
    static const QEasingCurve curve = cubic(0.42, 0, 0.58, 1);
    return curve;
}

QVariantAnimation* animate(QObject* owner, QVariantAnimation*& running, double from, double to,
                           std::chrono::milliseconds duration, const QEasingCurve& curve,
                           std::function<void(double)> step) {
    if (running) {
        running->stop();
        running->deleteLater();
        running = nullptr;
    }
    if (duration.count() <= 0 || from == to) {
        step(to);
        return nullptr;
    }
    auto* animation = new QVariantAnimation(owner);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(static_cast<int>(duration.count()));
    animation->setEasingCurve(curve);
    QObject::connect(animation, &QVariantAnimation::valueChanged, owner,
                     [step](const QVariant& value) { step(value.toDouble()); });
    QVariantAnimation** slot = &running;
    QObject::connect(animation, &QVariantAnimation::finished, owner, [animation, slot, step, to] {
        step(to);
        if (*slot == animation)
            *slot = nullptr;
        animation->deleteLater();
    });
    running = animation;
    step(from); // the first frame shows the start value, not whatever was there before
    animation->start();
    return animation;
}

} // namespace Motion

namespace TooltipWarmth {

std::optional<QDateTime> lastHidden() {
    return warmth();
}

void setLastHidden(const QDateTime& when) {
    warmth() = when;
}

void reset() {
    warmth().reset();
}

} // namespace TooltipWarmth
