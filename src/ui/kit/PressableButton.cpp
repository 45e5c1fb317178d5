#include "ui/kit/PressableButton.h"

#include "ui/kit/Motion.h"

#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

PressableButton::PressableButton(QWidget* parent) : QAbstractButton(parent) {
    setAutoRepeat(false);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::pressed, this, [this] {
        Motion::animate(this, pressAnimation_, press_, 1.0, Motion::press, Motion::panelCurve(),
                        [this](double p) {
                            press_ = p;
                            update();
                        });
    });
    connect(this, &QAbstractButton::released, this, [this] {
        Motion::animate(this, pressAnimation_, press_, 0.0, Motion::press, Motion::panelCurve(),
                        [this](double p) {
                            press_ = p;
                            update();
                        });
    });
}

void PressableButton::setHover(const HoverOptions& options) {
    const QSize before = sizeHint();
    if (!hover_) {
        hover_ = new Hoverable(this, options);
        connect(hover_, &Hoverable::changed, this, qOverload<>(&QWidget::update));
    } else {
        hover_->setOptions(options);
    }
    setContentsMargins(hover_->margins());
    if (size() == before)
        resize(sizeHint()); // a button placed by hand grows with its padding, as in a layout
    updateGeometry();
    update();
}

void PressableButton::setContentSize(const QSizeF& size) {
    contentSize_ = size;
    updateGeometry();
    update();
}

void PressableButton::setRestLevel(InkLevel level) {
    rest_ = level;
    update();
}

QColor PressableButton::ink() const {
    if (hover_)
        return hover_->ink();
    return Ink::color(rest_, Ink::scheme(this));
}

QRectF PressableButton::contentRect() const {
    return QRectF(contentsRect());
}

QSize PressableButton::sizeHint() const {
    const QSizeF c = contentSize();
    const QMargins m = contentsMargins();
    return QSize(static_cast<int>(std::ceil(c.width())) + m.left() + m.right(),
                 static_cast<int>(std::ceil(c.height())) + m.top() + m.bottom());
}

bool PressableButton::hitButton(const QPoint& pos) const {
    return rect().contains(pos); // the whole padded rectangle takes clicks
}

void PressableButton::paintBackground(QPainter& painter) {
    if (hover_)
        hover_->paintChrome(painter, QRectF(rect()));
}

void PressableButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = 1.0 - (1.0 - Motion::pressScale) * press_;
    if (scale != 1.0) {
        const QPointF centre = QRectF(rect()).center();
        painter.translate(centre);
        painter.scale(scale, scale);
        painter.translate(-centre);
    }
    paintBackground(painter);
    paintContent(painter, contentRect());
}
