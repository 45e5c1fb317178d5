#include "ui/kit/VolumeSlider.h"

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

VolumeSlider::VolumeSlider(int height, QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
    setMouseTracking(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setControlHeight(height);
    setAccessibleName(QString());
}

double VolumeSlider::track(double width, double height) {
    return std::max(width - height, 1.0);
}

double VolumeSlider::fillWidth(double value, double width, double height) {
    return std::sqrt(std::clamp(value, 0.0, 100.0) / 100.0) * track(width, height) + height;
}

int VolumeSlider::valueAt(double x, double width, double height) {
    double frac = (x - height / 2) / track(width, height);
    if (std::isnan(frac))
        frac = 0;
    frac = std::clamp(frac, 0.0, 1.0);
    return static_cast<int>(std::round(frac * frac * 100)); // halves away from zero
}

bool VolumeSlider::gripVisible(double value, double width, double height) {
    return 2.2 * height < fillWidth(value, width, height);
}

void VolumeSlider::setValue(int value) {
    value = std::clamp(value, 0, 100);
    if (value == value_ && (valueAnimation_ || shown_ == value))
        return;
    // A slider not on screen yet appears with the value it is given; one the pointer drags
    // follows it at once.
    const auto duration = dragging_ || !isVisible() ? 0ms : Motion::volumeSlider;
    if (value != value_) {
        // The digits roll from the old number to the new one.
        previous_ = value_;
        rollUp_ = value > value_;
        Motion::animate(this, rollAnimation_, 0.0, 1.0, duration, Motion::panelCurve(), [this](double p) {
            roll_ = p;
            update();
        });
    }
    value_ = value;
    setAccessibleDescription(QString::number(value_));
    Motion::animate(this, valueAnimation_, shown_, value_, duration, Motion::panelCurve(), [this](double v) {
        shown_ = v;
        update();
    });
}

void VolumeSlider::setControlHeight(int height) {
    h_ = std::max(1, height);
    setFixedHeight(height);
    updateGeometry();
    update();
}

void VolumeSlider::setHighlighted(bool focused) {
    focused_ = focused;
    update();
}

void VolumeSlider::setName(const QString& name) {
    setAccessibleName(name);
}

void VolumeSlider::increment() {
    emit changed(std::min(value_ + 4, 100));
}

void VolumeSlider::decrement() {
    emit changed(std::max(value_ - 4, 0));
}

QSize VolumeSlider::sizeHint() const {
    return QSize(static_cast<int>(5 * h_), static_cast<int>(h_));
}

QSize VolumeSlider::minimumSizeHint() const {
    return QSize(static_cast<int>(h_), static_cast<int>(h_));
}

void VolumeSlider::report(double x) {
    dragging_ = true;
    emit changed(valueAt(x, width(), h_));
}

void VolumeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // The capsule is the hit area: a press in the corners outside it goes past.
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), h_ / 2, h_ / 2);
    if (!capsule.contains(event->position()))
        return event->ignore();
    report(event->position().x());
}

void VolumeSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        report(event->position().x());
}

void VolumeSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        update();
    }
}

void VolumeSlider::enterEvent(QEnterEvent*) {
    setHovering(true);
}

void VolumeSlider::leaveEvent(QEvent*) {
    setHovering(false);
}

void VolumeSlider::setHovering(bool hovering) {
    hover_.set(hovering);
}

void VolumeSlider::drawLabel(QPainter& painter, const QRectF& box, const QFont& font,
                             const QColor& colour) const {
    painter.setPen(colour);
    const QString now = QString::number(static_cast<long long>(value_));
    if (roll_ >= 1.0) {
        Type::drawTabular(painter, box, Qt::AlignLeft, font, now);
        return;
    }
    // Numeric-text transition: digits that changed (counted from the right) leave upwards and
    // arrive from below when the value rises, the other way when it falls; the rest stay.
    const QString before = QString::number(static_cast<long long>(previous_));
    const double travel = 0.35 * h_ * (rollUp_ ? 1 : -1);
    painter.save();
    painter.setClipRect(QRectF(box.left(), 0.12 * h_, box.width(), 0.76 * h_), Qt::IntersectClip);
    const bool sameLength = before.size() == now.size();
    const auto drawString = [&](const QString& text, bool arriving) {
        const double t = arriving ? roll_ : 1 - roll_;
        const double cell = Type::digitCell(font);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype fromRight = text.size() - 1 - i;
            const bool changed =
                !sameLength || before.at(before.size() - 1 - fromRight) != now.at(now.size() - 1 - fromRight);
            if (!changed && !arriving)
                continue; // drawn once, by the arriving string
            const double dy = changed ? (arriving ? (1 - roll_) * travel : -roll_ * travel) : 0;
            painter.save();
            painter.setOpacity(painter.opacity() * (changed ? t : 1.0));
            Type::drawTabular(painter, box.translated(static_cast<double>(i) * cell, dy), Qt::AlignLeft, font,
                              QString(text.at(i)));
            painter.restore();
        }
    };
    drawString(before, false);
    drawString(now, true);
    painter.restore();
}

void VolumeSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Scheme scheme = Ink::scheme(this);
    if (!LayerCache::keepsText(this)) {
        paintSlider(painter, scheme);
        return;
    }
    // On a translucent ground the whole slider, labels and all, is one layer: it sits on the
    // now-playing tile, whose waves repaint it up to 30 times a second while it rarely changes.
    LayerKey key;
    key << scheme << value_ << previous_ << roll_ << rollUp_ << shown_ << h_ << focused_ << hover_.progress()
        << Ink::textBackground(this);
    face_.draw(painter, QSizeF(width(), h_), key, [&](QPainter& p) { paintSlider(p, scheme); });
}

void VolumeSlider::paintSlider(QPainter& painter, Scheme scheme) {
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = width(), h = h_;
    const QRectF box(0, 0, w, h);
    const double radius = h / 2;

    // Track: 0.12, 0.16 while hovered or focused.
    const double trackAlpha = focused_ ? 0.16 : 0.12 + 0.04 * hover_.progress();
    const QColor trackColour = Ink::primary(scheme, trackAlpha);
    track_.draw(painter, box.size(), trackColour.rgba(), [&](QPainter& p) {
        QPainterPath capsule;
        capsule.addRoundedRect(box, radius, radius);
        p.fillPath(capsule, trackColour);
    });

    const QString label = QString::number(static_cast<long long>(value_));
    const QFont font = Type::system(0.5 * h, QFont::DemiBold);
    const QRectF labelBox(0.45 * h, 0, w - 0.45 * h, h);
    drawLabel(painter, labelBox, font, Ink::primary(scheme, 0.9));

    // Fill with the inverse label, masked to the capsule f wide: the masked full-width capsule
    // is the f-wide capsule itself; the inverse digits are clipped to it (a plain rectangle
    // while they lie left of the fill's rounded end, the capsule only when they reach into it).
    const double f = fillWidth(shown_, w, h);
    const QRectF fillBox(0, 0, std::min(f, w), h);
    QPainterPath fill;
    fill.addRoundedRect(fillBox, radius, radius);
    // The fill moves only with the value, while what lies behind the slider may repaint it up to
    // 30 times a second (the playing waves): a layer too.
    const QColor fillColour = Ink::primary(scheme, 0.92);
    LayerKey fillKey;
    fillKey << fillBox.width() << h << fillColour;
    fill_.draw(painter, box.size(), fillKey, [&](QPainter& p) { p.fillPath(fill, fillColour); });
    double labelWidth = Type::tabularWidth(font, label);
    if (roll_ < 1)
        labelWidth = std::max(labelWidth,
                              Type::tabularWidth(font, QString::number(static_cast<long long>(previous_))));
    const double labelRight = labelBox.left() + labelWidth;
    painter.save();
    if (labelRight <= fillBox.right() - radius)
        painter.setClipRect(QRectF(0, 0, fillBox.right() - radius, h));
    else
        painter.setClipPath(fill);
    drawLabel(painter, labelBox, font, Ink::textBackground(this));
    painter.restore();

    // Grip: centred on the fill's rounded end, only while hovered and the fill is long enough.
    if (hover_.progress() > 0 && 2.2 * h < f) {
        QColor grip = Ink::textBackground(this);
        grip.setAlphaF(static_cast<float>(0.35 * hover_.progress()));
        const double gh = 0.4 * h;
        painter.setPen(Qt::NoPen);
        painter.setBrush(grip);
        painter.drawRoundedRect(QRectF(f - h / 2 - 1, (h - gh) / 2, 2, gh), 1, 1);
    }
}
