#include "ui/kit/BlurFade.h"

#include "ui/kit/Blur.h"
#include "ui/kit/Motion.h"

#include <QPainter>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <algorithm>
#include <cmath>

BlurFade::BlurFade(double offset, QObject* parent, double blur)
    : QGraphicsEffect(parent), offset_(offset), blur_(std::max(0.0, blur)) {}

void BlurFade::setProgress(double progress) {
    progress = std::clamp(progress, 0.0, 1.0);
    if (progress == progress_)
        return;
    progress_ = progress;
    updateBoundingRect();
    update();
}

QRectF BlurFade::boundingRectFor(const QRectF& rect) const {
    const double room = std::ceil(3 * blur_);
    return rect.adjusted(-room, -room + std::min(0.0, offset_), room, room + std::max(0.0, offset_));
}

void BlurFade::draw(QPainter* painter) {
    if (progress_ <= 0)
        return;
    // Always through the source pixmap (never drawSource): the pass-through path misdraws
    // widgets nested two or more levels below the one being rendered.
    QPoint at;
    const QPixmap pixmap =
        sourcePixmap(Qt::LogicalCoordinates, &at, QGraphicsEffect::PadToEffectiveBoundingRect);
    if (pixmap.isNull())
        return;
    // The radius is taken as the Gaussian's sigma, in points.
    const double sigma = blur_ * (1 - progress_) * pixmap.devicePixelRatio();
    painter->save();
    painter->setOpacity(painter->opacity() * opacityAt(progress_));
    const QPointF origin = QPointF(at) + QPointF(0, offsetAt(progress_, offset_));
    if (sigma >= 0.2)
        painter->drawImage(origin, Blur::gaussian(pixmap.toImage(), sigma));
    else
        painter->drawPixmap(origin, pixmap);
    painter->restore();
}

namespace {

// Runs `effect` from `from` to `to` after `delay`, on one leaf animation (a pause animation would
// run on wall-clock time), then calls `end`.
void run(BlurFade* effect, double from, double to, std::chrono::milliseconds duration,
         std::chrono::milliseconds delay, const QEasingCurve& curve, std::function<void()> end) {
    const QEasingCurve easing = curve.type() == QEasingCurve::Linear ? Motion::panelCurve() : curve;
    auto* animation = new QVariantAnimation(effect);
    const double total = static_cast<double>(std::max<qint64>(1, (duration + delay).count()));
    animation->setStartValue(0.0);
    animation->setEndValue(total);
    animation->setDuration(static_cast<int>(total));
    const double wait = static_cast<double>(delay.count());
    const double span = static_cast<double>(std::max<qint64>(1, duration.count()));
    QObject::connect(animation, &QVariantAnimation::valueChanged, effect, [=](const QVariant& value) {
        const double t = std::clamp((value.toDouble() - wait) / span, 0.0, 1.0);
        effect->setProgress(from + (to - from) * easing.valueForProgress(t));
    });
    QObject::connect(animation, &QVariantAnimation::finished, effect, [effect, to, end] {
        effect->setProgress(to);
        end();
    });
    effect->setProgress(from);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

namespace {

BlurFade* enter(BlurFade* effect, QWidget* widget, std::chrono::milliseconds duration,
                std::chrono::milliseconds delay, const QEasingCurve& curve) {
    widget->setGraphicsEffect(effect); // the widget owns it
    QPointer<QWidget> guard(widget);
    run(effect, 0, 1, duration, delay, curve, [guard, effect] {
        // Shown: drop the effect so the widget paints directly again; queued, because
        // dropping it deletes the animation that is finishing.
        QMetaObject::invokeMethod(
            effect,
            [guard, effect] {
                if (guard && guard->graphicsEffect() == effect)
                    guard->setGraphicsEffect(nullptr);
            },
            Qt::QueuedConnection);
    });
    return effect;
}

BlurFade* leave(BlurFade* effect, QWidget* widget, std::chrono::milliseconds duration,
                std::function<void()> done, const QEasingCurve& curve) {
    widget->setGraphicsEffect(effect);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents); // leaving content takes no clicks
    run(effect, 1, 0, duration, std::chrono::milliseconds(0), curve, [effect, done] {
        // Queued: `done` usually deletes the widget, its effect and this animation.
        if (done)
            QMetaObject::invokeMethod(effect, done, Qt::QueuedConnection);
    });
    return effect;
}

} // namespace

BlurFade* BlurFade::insert(QWidget* widget, double offset, std::chrono::milliseconds duration,
                           std::chrono::milliseconds delay, const QEasingCurve& curve) {
    auto* effect = new BlurFade(offset);
    effect->progress_ = 0;
    return enter(effect, widget, duration, delay, curve);
}

BlurFade* BlurFade::remove(QWidget* widget, double offset, std::chrono::milliseconds duration,
                           std::function<void()> done, const QEasingCurve& curve) {
    return leave(new BlurFade(offset), widget, duration, std::move(done), curve);
}

BlurFade* BlurFade::slideIn(QWidget* widget, double rise, std::chrono::milliseconds duration,
                            const QEasingCurve& curve) {
    auto* effect = new BlurFade(-rise, nullptr, 0);
    effect->progress_ = 0;
    return enter(effect, widget, duration, std::chrono::milliseconds(0), curve);
}

BlurFade* BlurFade::slideOut(QWidget* widget, double rise, std::chrono::milliseconds duration,
                             std::function<void()> done, const QEasingCurve& curve) {
    return leave(new BlurFade(-rise, nullptr, 0), widget, duration, std::move(done), curve);
}
