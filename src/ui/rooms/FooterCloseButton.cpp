#include "ui/rooms/FooterCloseButton.h"

#include "ui/kit/Symbols.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr double glyph = 8;
constexpr double restFill = 0.06;
constexpr double raisedFill = 0.14;
} // namespace

FooterCloseButton::FooterCloseButton(QWidget* parent) : PressableButton(parent) {
    setContentSize(QSizeF(face, face));
    HoverOptions options;
    options.padding = reach;
    options.shape = HoverShape::Circle;
    options.rest = InkLevel::Secondary;
    options.chrome = false;
    setHover(options);
    setCursor(Qt::PointingHandCursor);
}

void FooterCloseButton::setKeyed(bool keyed) {
    if (keyed == keyed_)
        return;
    keyed_ = keyed;
    update();
}

double FooterCloseButton::emphasis() const {
    return keyed_ ? 1.0 : hover()->progress();
}

double FooterCloseButton::circleFill() const {
    return restFill + (raisedFill - restFill) * emphasis();
}

void FooterCloseButton::paintBackground(QPainter& painter) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(Ink::primary(Ink::scheme(this), circleFill()));
    painter.drawEllipse(contentRect());
}

void FooterCloseButton::paintContent(QPainter& painter, const QRectF& rect) {
    const Scheme scheme = Ink::scheme(this);
    const QColor ink =
        Ink::mix(Ink::color(InkLevel::Secondary, scheme), Ink::color(InkLevel::Primary, scheme), emphasis());
    const QRectF mark(rect.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph));
    Symbols::paint(painter, mark, QStringLiteral("xmark"), ink);
}

bool FooterCloseButton::hitButton(const QPoint& pos) const {
    const QPointF offset = QPointF(pos) + QPointF(0.5, 0.5) - QRectF(rect()).center();
    return std::hypot(offset.x(), offset.y()) <= face / 2 + reach;
}
