#include "ui/rooms/MembershipButton.h"

#include "ui/kit/BundleIcon.h"

#include <QPainter>

MembershipButton::MembershipButton(QWidget* parent) : PressableButton(parent) {
    setContentSize(QSizeF(20, 20));
    setHover({.tooltip = std::nullopt,
              .alignment = Qt::AlignHCenter,
              .padding = 5,
              .shape = HoverShape::Circle,
              .rest = InkLevel::Tertiary,
              .chrome = false,
              .enabled = true,
              .above = false});
}

void MembershipButton::setMember(bool member) {
    if (member == member_)
        return;
    member_ = member;
    update();
}

void MembershipButton::paintContent(QPainter& painter, const QRectF& rect) {
    const QColor ink = this->ink();
    const QPointF centre = rect.center();
    if (member_) {
        BundleIcon::paint(painter, QRectF(centre.x() - 12, centre.y() - 12, 24, 24),
                          QStringLiteral("ci-check-circle"), ink);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ink, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(centre.x() - 9.25, centre.y() - 9.25, 18.5, 18.5));
}
