#include "ui/kit/BlurFade.h"

#include "ui/kit/Blur.h"
#include "ui/kit/Motion.h"

#include <QPainter>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <algorithm>
#include <cmath>

BlurFade::BlurFade(double offset, QObject* parent) : QGraphicsEffect(parent), offset_(offset) {}

void BlurFade::setProgress(double progress) {
    progress = std::clamp(progress, 0.0, 1.0);
    if (progress == progress_)
        return;
    progress_ = progress;
    updateBoundingRect();
    update();
}

QRectF BlurFade::boundingRectFor(const QRectF& rect) const {
    const double room = std::ceil(3 * blurRadius);
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
    const double sigma = blurAt(progress_) * pixmap.devicePixelRatio();
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

BlurFade* BlurFade::insert(QWidget* widget, double offset, std::chrono::milliseconds duration,
                           std::chrono::milliseconds delay, const QEasingCurve& curve) {
    auto* effect = new BlurFade(offset);
    effect->progress_ = 0;
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

BlurFade* BlurFade::remove(QWidget* widget, double offset, std::chrono::milliseconds duration,
                           std::function<void()> done, const QEasingCurve& curve) {
    auto* effect = new BlurFade(offset);
    widget->setGraphicsEffect(effect);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents); // leaving content takes no clicks
    run(effect, 1, 0, duration, std::chrono::milliseconds(0), curve, [effect, done] {
        // Queued: `done` usually deletes the widget, its effect and this animation.
        if (done)
            QMetaObject::invokeMethod(effect, done, Qt::QueuedConnection);
    });
    return effect;
}
