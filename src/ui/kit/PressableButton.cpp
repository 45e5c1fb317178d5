#include "ui/kit/PressableButton.h"

#include "ui/kit/Motion.h"
#include "ui/kit/ScaleEffect.h"

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
                        [this](double p) { setPress(p); });
    });
    connect(this, &QAbstractButton::released, this, [this] {
        Motion::animate(this, pressAnimation_, press_, 0.0, Motion::press, Motion::panelCurve(),
                        [this](double p) { setPress(p); });
    });
}

void PressableButton::setPress(double progress) {
    press_ = progress;
    update();
    scaleChildren();
}

// Child widgets (a cover beside a painted title) shrink with the content, about the button's
// centre. Popups are left out, and so is a child that carries an effect of another kind.
void PressableButton::scaleChildren() {
    const double scale = 1 - (1 - Motion::pressScale) * press_;
    const QPointF centre = QRectF(rect()).center();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) // a menu or popup of the button, not part of its content
            continue;
        auto* effect = qobject_cast<ScaleEffect*>(child->graphicsEffect());
        if (!effect && child->graphicsEffect())
            continue;
        if (scale >= 1) {
            if (effect)
                child->setGraphicsEffect(nullptr);
            continue;
        }
        if (!effect) {
            effect = new ScaleEffect;
            child->setGraphicsEffect(effect); // the child owns it
        }
        effect->setAnchor(centre - QPointF(child->pos()));
        effect->setScale(scale);
    }
}

void PressableButton::setHover(const HoverOptions& options) {
    // Views restate their options on every model change: the same options change nothing, and
    // must not cost the window a layout pass.
    if (hover_ && hover_->options() == options)
        return;
    const QSize before = sizeHint();
    if (!hover_) {
        hover_ = new Hoverable(this, options);
        connect(hover_, &Hoverable::changed, this, qOverload<>(&QWidget::update));
    } else {
        hover_->setOptions(options);
    }
    layer_.clear();
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

bool PressableButton::layerKey(LayerKey&) const {
    return false;
}

void PressableButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    LayerKey key;
    if (press_ == 0 && layerKey(key)) {
        key << QSizeF(size()) << contentRect().size() << contentRect().x() << contentRect().y() << ink()
            << (hover_ ? hover_->progress() : -1.0) << Ink::scheme(this);
        const QFont font = painter.font();
        const QPen pen = painter.pen();
        layer_.draw(painter, QSizeF(size()), key, [&](QPainter& p) {
            p.setFont(font);
            p.setPen(pen);
            paintBackground(p);
            paintLayerContent(p, contentRect());
        });
        paintOverLayer(painter, contentRect());
        return;
    }
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
