#include "ui/panel/TrackProgress.h"

#include "core/RenderMode.h"
#include "household/Household.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/kit/TextStyle.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

using namespace std::chrono_literals;

namespace {
QFont labelFont() {
    return Type::system(10, QFont::Medium);
}
double clampFraction(double value) {
    if (std::isnan(value))
        return 0;
    return std::clamp(value, 0.0, 1.0);
}
} // namespace

TrackProgress::TrackProgress(Household* household, QWidget* parent) : QWidget(parent), household_(household) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    setVisible(false);
}

void TrackProgress::setGroup(const SpeakerGroup& group) {
    group_ = group;
    shownAt_ = RenderMode::now();
    setVisible(group.duration.has_value());
    update();
}

double TrackProgress::shownPosition(const SpeakerGroup& group, const QDateTime& now,
                                    std::optional<double> dragging) {
    if (dragging)
        return *dragging;
    const double length = group.duration.value_or(0);
    double p = group.position;
    if (group.state == QStringLiteral("PLAYING"))
        p += group.positionAt.msecsTo(now) / 1000.0;
    if (std::isnan(p))
        p = 0;
    return std::min(length, std::max(0.0, p));
}

QString TrackProgress::timeText(double seconds) {
    const qint64 s = std::isfinite(seconds) ? static_cast<qint64>(std::trunc(seconds)) : 0;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QDateTime TrackProgress::shownNow() const {
    // The position counts on in steps of the one-second timeline (the panel repaints far more
    // often while the waves move behind the bar); a still is drawn for its own instant.
    if (RenderMode::active() || !shownAt_.isValid())
        return RenderMode::now();
    return shownAt_;
}

QString TrackProgress::elapsedText() const {
    return timeText(shownPosition(group_, shownNow(), dragging_));
}

QString TrackProgress::lengthText() const {
    return timeText(group_.duration.value_or(0));
}

double TrackProgress::labelWidth(const QString& text) const {
    return std::max<double>(minLabelWidth, std::ceil(Type::tabularWidth(labelFont(), text)));
}

QRectF TrackProgress::barRect() const {
    const double left = labelWidth(elapsedText()) + spacing;
    const double right = labelWidth(lengthText()) + spacing;
    return QRectF(left, 0, std::max(0.0, width() - left - right), height);
}

QSize TrackProgress::sizeHint() const {
    return {2 * minLabelWidth + 2 * spacing + 40, height};
}

QSize TrackProgress::minimumSizeHint() const {
    return sizeHint();
}

void TrackProgress::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Scheme scheme = Ink::scheme(this);
    const QString elapsed = elapsedText();
    const QString length = lengthText();
    const QColor labels = Ink::color(InkLevel::Secondary, scheme);
    const auto paintLabels = [&](QPainter& p) {
        const QFont font = labelFont();
        p.setPen(labels);
        const double leftWidth = labelWidth(elapsed);
        const double rightWidth = labelWidth(length);
        Type::drawTabular(p, QRectF(0, 0, leftWidth, height), Qt::AlignLeft | Qt::AlignVCenter, font,
                          elapsed);
        Type::drawTabular(p, QRectF(width() - rightWidth, 0, rightWidth, height),
                          Qt::AlignRight | Qt::AlignVCenter, font, length);
    };
    // Labels, track and fill change once a second (or as the bar is dragged), while what lies
    // behind them may repaint the row up to 30 times a second (the playing waves): the bar is
    // one layer, and on a translucent ground the labels go into one with it.
    const QRectF bar = barRect();
    const double h = 3 + 2 * activeProgress_;
    const double y = (height - h) / 2;
    const QColor track = Ink::primary(scheme, 0.12);
    const QColor filled = Ink::primary(scheme, 0.55 + 0.35 * activeProgress_);
    const double duration = group_.duration.value_or(0);
    const double fraction = clampFraction(shownPosition(group_, shownNow(), dragging_) / duration);
    const double fill = std::max(h, bar.width() * fraction);
    const auto paintBar = [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(track);
        p.drawRoundedRect(QRectF(bar.left(), y, bar.width(), h), h / 2, h / 2);
        p.setBrush(filled);
        p.drawRoundedRect(QRectF(bar.left(), y, fill, h), h / 2, h / 2);
    };
    LayerKey key;
    key << h << bar.left() << bar.width() << fill << track << filled;
    if (LayerCache::keepsText(this)) {
        key << elapsed << length << labels;
        layer_.draw(painter, QSizeF(width(), height), key, [&](QPainter& p) {
            paintLabels(p);
            paintBar(p);
        });
        return;
    }
    paintLabels(painter);
    layer_.draw(painter, QSizeF(width(), height), key, paintBar);
}

void TrackProgress::drag(double x) {
    const QRectF bar = barRect();
    double quotient = (x - bar.left()) / bar.width();
    if (std::isnan(quotient))
        quotient = 0;
    dragging_ = std::clamp(quotient, 0.0, 1.0) * group_.duration.value_or(0);
    setActiveLook();
    update();
}

void TrackProgress::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !barRect().contains(event->position()))
        return QWidget::mousePressEvent(event);
    drag(event->position().x());
}

void TrackProgress::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        drag(event->position().x());
}

void TrackProgress::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (dragging_ && household_)
        household_->seek(group_, *dragging_);
    dragging_.reset();
    setActiveLook();
    update();
}

void TrackProgress::enterEvent(QEnterEvent*) {
    hovering_ = true;
    setActiveLook();
}

void TrackProgress::leaveEvent(QEvent*) {
    hovering_ = false;
    setActiveLook();
}

void TrackProgress::setActiveLook() {
    const double target = active() ? 1 : 0;
    if (activeAnimation_ && activeAnimation_->endValue().toDouble() == target &&
        activeAnimation_->state() == QAbstractAnimation::Running)
        return;
    if (activeProgress_ == target)
        return;
    Motion::animate(this, activeAnimation_, activeProgress_, target, Motion::tooltip, Motion::panelCurve(),
                    [this](double value) {
                        activeProgress_ = value;
                        update();
                    });
}

void TrackProgress::tick() {
    tick_ = Clock::schedule(1s, this, [this] { tick(); });
    shownAt_ = RenderMode::now();
    update();
}

void TrackProgress::showEvent(QShowEvent*) {
    shownAt_ = RenderMode::now();
    Clock::cancel(tick_);
    tick_ = Clock::schedule(1s, this, [this] { tick(); });
}

void TrackProgress::hideEvent(QHideEvent*) {
    Clock::cancel(tick_);
    tick_ = 0;
}
