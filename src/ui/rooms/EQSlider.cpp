#include "ui/rooms/EQSlider.h"

#include "platform/Haptics.h"

#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace std::chrono_literals;

namespace {

constexpr int lowest = -10;
constexpr int highest = 10;

double trackLength(double width, double height) {
    return std::max(width - height, 1.0);
}

// What assistive technology sees: one adjustable element whose value is the plain number,
// stepped through the slider's own reports.
class AccessibleEQSlider : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleEQSlider(EQSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value)
            return QString::number(slider()->value());
        return QAccessibleWidget::text(type);
    }
    QStringList actionNames() const override { return {increaseAction(), decreaseAction()}; }
    void doAction(const QString& name) override {
        if (name == increaseAction())
            slider()->increment();
        else if (name == decreaseAction())
            slider()->decrement();
    }

    QVariant currentValue() const override { return slider()->value(); }
    void setCurrentValue(const QVariant& value) override {
        const int wanted = std::clamp(value.toInt(), lowest, highest);
        if (wanted != slider()->value())
            emit slider()->changed(wanted);
    }
    QVariant maximumValue() const override { return highest; }
    QVariant minimumValue() const override { return lowest; }
    QVariant minimumStepSize() const override { return 1; }

private:
    EQSlider* slider() const { return static_cast<EQSlider*>(widget()); }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("EQSlider") && object && object->isWidgetType())
        return new AccessibleEQSlider(static_cast<EQSlider*>(object));
    return nullptr;
}

} // namespace

EQSlider::EQSlider(int height, QWidget* parent) : QWidget(parent), height_(height) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
}

void EQSlider::setValue(int value) {
    value = std::clamp(value, lowest, highest);
    if (value == value_)
        return;
    value_ = value;
    // The knob follows the pointer during a drag; any other change glides there, unless the
    // slider is not on screen yet (it appears with the value it is given).
    const auto duration = drag_.isOn() || !isVisible() ? 0ms : Motion::equaliser;
    Motion::animate(this, valueAnimation_, shown_, value_, duration, Motion::panelCurve(), [this](double v) {
        shown_ = v;
        update();
    });
    Motion::animate(this, fillAnimation_, fill_, value_ == 0 ? 0.0 : 1.0, duration, Motion::panelCurve(),
                    [this](double opacity) {
                        fill_ = opacity;
                        update();
                    });
}

double EQSlider::knobScale() const {
    return 1 + 0.12 * drag_.progress();
}

double EQSlider::trackOpacity() const {
    // Lighter while hovered or dragged; each of the two moves at its own pace.
    return 0.12 + 0.04 * std::max(hover_.progress(), drag_.progress());
}

void EQSlider::setDragging(bool dragging) {
    drag_.set(dragging);
}

void EQSlider::setHovering(bool hovering) {
    hover_.set(hovering);
}

void EQSlider::increment() {
    emit changed(std::min(value_ + 1, highest));
}

void EQSlider::decrement() {
    emit changed(std::max(value_ - 1, lowest));
}

double EQSlider::position(int value, double width, double height) {
    return (value - lowest) * trackLength(width, height) / (highest - lowest) + height * 0.5;
}

int EQSlider::valueAt(double x, double width, double height) {
    const double fraction = (x - height * 0.5) / trackLength(width, height);
    if (std::isnan(fraction) || fraction < 0)
        return lowest;
    // std::round takes halves away from zero: -0.5 gives -1, 0.5 gives 1.
    return static_cast<int>(std::round(std::min(fraction, 1.0) * (highest - lowest) + lowest));
}

QSize EQSlider::sizeHint() const {
    return {120, height_};
}

void EQSlider::report(double x) {
    setDragging(true);
    const int next = valueAt(x, width(), height_);
    update();
    if (next == value_)
        return;
    if (next == 0)
        Haptics::alignment(); // landing on the centre is felt, not only seen
    emit changed(next);
}

void EQSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        report(event->position().x());
}

void EQSlider::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        report(event->position().x());
}

void EQSlider::mouseReleaseEvent(QMouseEvent*) {
    setDragging(false);
    // A double click resets when its second click ends, so the knob glides back to the centre.
    if (std::exchange(resetOnRelease_, false) && value_ != 0)
        emit changed(0);
}

void EQSlider::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click still drags like any press.
    report(event->position().x());
    resetOnRelease_ = true;
}

void EQSlider::enterEvent(QEnterEvent*) {
    setHovering(true);
}

void EQSlider::leaveEvent(QEvent*) {
    setHovering(false);
}

void EQSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const Scheme scheme = Ink::scheme(this);
    const double w = width();
    const double h = height_;
    const double radius = h / 2;

    painter.setBrush(Ink::primary(scheme, trackOpacity()));
    painter.drawRoundedRect(QRectF(0, 0, w, h), radius, radius);

    painter.setBrush(Ink::primary(scheme, 0.28));
    for (int tick = lowest; tick <= highest; tick += 2)
        if (tick != 0)
            painter.drawEllipse(QPointF(position(tick, w, h), h / 2), 1.25, 1.25);

    const double centre = position(0, w, h);
    painter.setBrush(Ink::primary(scheme, 0.3));
    painter.drawRoundedRect(QRectF(centre - 1, h * 0.3, 2, h * 0.4), 1, 1);

    // Positions are linear in the value, so a gliding value sits between the two whole ones.
    const double knob = centre + (shown_ / (highest - lowest)) * trackLength(w, h);
    if (fill_ > 0) {
        painter.setBrush(Ink::primary(scheme, 0.35 * fill_));
        painter.drawRoundedRect(QRectF(std::min(centre, knob) - radius, 0, std::abs(knob - centre) + h, h),
                                radius, radius);
    }

    const double scale = knobScale();
    painter.setBrush(QColor(0, 0, 0, 64));
    painter.drawEllipse(QPointF(knob, radius + 1), radius * scale, radius * scale);
    painter.setBrush(Ink::primary(scheme, 0.92));
    painter.drawEllipse(QPointF(knob, radius), radius * scale, radius * scale);
}
