#include "ui/kit/Hoverable.h"

#include "ui/kit/Motion.h"
#include "ui/kit/Tooltip.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <QWidget>

#include <limits>

using namespace std::chrono_literals;

Hoverable::Hoverable(QWidget* control, const HoverOptions& options)
    : QObject(control), control_(control), options_(options) {
    control->installEventFilter(this);
}

Hoverable::~Hoverable() {
    cancelDelay();
    if (monitoring_ && qApp)
        qApp->removeEventFilter(this);
    if (bubble_)
        bubble_->deleteLater();
}

QMargins Hoverable::margins(const HoverOptions& options) {
    const double p = options.padding;
    const bool capsule = options.shape == HoverShape::Capsule;
    const int h = static_cast<int>(std::lround(capsule ? p + 3 : p));
    const int v = static_cast<int>(std::lround(capsule ? p - 2 : p));
    return QMargins(h, v, h, v);
}

void Hoverable::setOptions(const HoverOptions& options) {
    options_ = options;
    if (bubble_ && options_.tooltip)
        bubble_->setText(*options_.tooltip);
    if (!options_.tooltip && bubble_)
        bubble_->disappear(false);
    const double target = hovering_ && options_.enabled ? 1.0 : 0.0;
    if (progress_ != target && !progressAnimation_)
        progress_ = target;
    emit changed();
}

void Hoverable::setTooltip(const std::optional<QString>& tooltip) {
    HoverOptions next = options_;
    next.tooltip = tooltip;
    setOptions(next);
}

QColor Hoverable::ink() const {
    const Scheme scheme = Ink::scheme(control_);
    return Ink::mix(Ink::color(options_.rest, scheme), Ink::color(InkLevel::Primary, scheme), progress_);
}

void Hoverable::paintChrome(QPainter& painter, const QRectF& rect) const {
    if (!options_.chrome || progress_ <= 0)
        return;
    const QColor fill = Ink::primary(Ink::scheme(control_), 0.1 * progress_);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    if (options_.shape == HoverShape::Circle) {
        const double d = std::min(rect.width(), rect.height());
        painter.drawEllipse(QRectF(rect.center().x() - d / 2, rect.center().y() - d / 2, d, d));
    } else {
        const double r = rect.height() / 2;
        painter.drawRoundedRect(rect, r, r);
    }
    painter.restore();
}

void Hoverable::cancelDelay() {
    if (tipDelay_) {
        Clock::cancel(tipDelay_);
        tipDelay_ = 0;
    }
}

void Hoverable::setHovering(bool inside) {
    if (inside != hovering_) {
        hovering_ = inside;
        const double target = hovering_ && options_.enabled ? 1.0 : 0.0;
        Motion::animate(this, progressAnimation_, progress_, target, Motion::hover, Motion::hoverCurve(),
                        [this](double p) {
                            progress_ = p;
                            emit changed();
                        });
        watchClicks(hovering_);
        emit hoverChanged(hovering_);
    }
    cancelDelay();
    if (inside) {
        if (clicked_)
            return;
        const auto last = TooltipWarmth::lastHidden();
        const qint64 elapsed = last ? last->msecsTo(Clock::now()) : std::numeric_limits<qint64>::max();
        // A last hide in the future (the wall clock was set back) is not a warm tooltip.
        if (elapsed >= 0 && elapsed < Motion::tooltipWarm.count()) {
            instant_ = true;
            setShowTip(true, false);
        } else {
            instant_ = false;
            tipDelay_ = Clock::schedule(Motion::tooltipDelay, this, [this] {
                tipDelay_ = 0;
                setShowTip(true, true);
            });
        }
    } else {
        if (showTip_)
            TooltipWarmth::setLastHidden(Clock::now());
        setShowTip(false, !instant_);
        clicked_ = false;
    }
}

void Hoverable::setShowTip(bool show, bool animated) {
    if (show == showTip_)
        return;
    showTip_ = show;
    if (options_.tooltip && control_) {
        if (show) {
            if (!bubble_) {
                bubble_ = new Tooltip(*options_.tooltip, control_->window());
            }
            bubble_->setText(*options_.tooltip);
            bubble_->setAnchorBottom(options_.above);
            placeBubble();
            bubble_->appear(animated);
        } else if (bubble_) {
            bubble_->disappear(animated);
        }
    }
    emit tipShownChanged(show);
}

void Hoverable::placeBubble() {
    if (!bubble_ || !control_)
        return;
    QWidget* root = control_->window();
    const QPoint topLeft = control_->mapTo(root, QPoint(0, 0));
    const QSize size = bubble_->sizeHint();
    int x = topLeft.x();
    if (options_.alignment & Qt::AlignHCenter)
        x = topLeft.x() + (control_->width() - size.width()) / 2;
    else if (options_.alignment & Qt::AlignRight)
        x = topLeft.x() + control_->width() - size.width();
    const int y = options_.above ? topLeft.y() - 31 : topLeft.y() + control_->height() + 6;
    bubble_->setGeometry(QRect(QPoint(x, y), size));
}

void Hoverable::watchClicks(bool active) {
    if (monitoring_) {
        qApp->removeEventFilter(this);
        monitoring_ = false;
    }
    if (active && options_.tooltip && qApp) {
        qApp->installEventFilter(this);
        monitoring_ = true;
    }
}

bool Hoverable::eventFilter(QObject* watched, QEvent* event) {
    if (watched == control_) {
        switch (event->type()) {
        case QEvent::Enter:
            setHovering(true);
            break;
        case QEvent::Leave:
            setHovering(false);
            break;
        case QEvent::Hide:
            // Gone from the screen: no monitor, no pending show, no bubble.
            if (hovering_)
                setHovering(false);
            watchClicks(false);
            break;
        default:
            break;
        }
    }
    if (monitoring_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && !clicked_) {
        clicked_ = true;
        cancelDelay();
        setShowTip(false, false);
    }
    return false;
}
