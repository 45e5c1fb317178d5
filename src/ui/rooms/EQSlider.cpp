#include "ui/rooms/EQSlider.h"

#include "ui/kit/Ink.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

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
    update();
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
    dragging_ = true;
    const int next = valueAt(x, width(), height_);
    update();
    if (next == value_)
        return;
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
    dragging_ = false;
    update();
}

void EQSlider::mouseDoubleClickEvent(QMouseEvent* event) {
    report(event->position().x());
    if (value_ != 0)
        emit changed(0);
}

void EQSlider::enterEvent(QEnterEvent*) {
    hovering_ = true;
    update();
}

void EQSlider::leaveEvent(QEvent*) {
    hovering_ = false;
    update();
}

void EQSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const Scheme scheme = Ink::scheme(this);
    const double w = width();
    const double h = height_;
    const double radius = h / 2;

    painter.setBrush(Ink::primary(scheme, hovering_ || dragging_ ? 0.16 : 0.12));
    painter.drawRoundedRect(QRectF(0, 0, w, h), radius, radius);

    painter.setBrush(Ink::primary(scheme, 0.28));
    for (int tick = lowest; tick <= highest; tick += 2)
        if (tick != 0)
            painter.drawEllipse(QPointF(position(tick, w, h), h / 2), 1.25, 1.25);

    const double centre = position(0, w, h);
    painter.setBrush(Ink::primary(scheme, 0.3));
    painter.drawRoundedRect(QRectF(centre - 1, h * 0.3, 2, h * 0.4), 1, 1);

    const double knob = position(value_, w, h);
    if (value_ != 0) {
        painter.setBrush(Ink::primary(scheme, 0.35));
        painter.drawRoundedRect(QRectF(std::min(centre, knob) - radius, 0, std::abs(knob - centre) + h, h),
                                radius, radius);
    }

    const double scale = dragging_ ? 1.12 : 1.0;
    painter.setBrush(QColor(0, 0, 0, 64));
    painter.drawEllipse(QPointF(knob, radius + 1), radius * scale, radius * scale);
    painter.setBrush(Ink::primary(scheme, 0.92));
    painter.drawEllipse(QPointF(knob, radius), radius * scale, radius * scale);
}
