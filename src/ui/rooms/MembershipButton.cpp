#include "ui/rooms/MembershipButton.h"

#include "ui/kit/BundleIcon.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"

#include <QPainter>
#include <QVariantAnimation>

using namespace std::chrono_literals;

namespace {

constexpr double checkStartScale = 0.8;

} // namespace

MembershipButton::MembershipButton(QWidget* parent) : PressableButton(parent) {
    setContentSize(QSizeF(20, 20));
    // The 5 points around the mark take clicks too; the row lets them overlap its padding.
    setContentsMargins(5, 5, 5, 5);
}

void MembershipButton::setMember(bool member, bool animated) {
    if (member == member_)
        return; // a row update that keeps the membership leaves a running change alone
    member_ = member;
    Motion::animate(this, memberAnimation_, progress_, member ? 1.0 : 0.0, animated ? Motion::roomRow : 0ms,
                    Motion::panelCurve(), [this](double p) {
                        progress_ = p;
                        update();
                    });
}

void MembershipButton::setRowHover(double progress) {
    if (progress == rowHover_)
        return;
    rowHover_ = progress;
    update();
}

double MembershipButton::checkScale() const {
    return checkStartScale + (1 - checkStartScale) * progress_;
}

QColor MembershipButton::markInk() const {
    const Scheme scheme = Ink::scheme(this);
    const QColor outside =
        Ink::mix(Ink::color(InkLevel::Tertiary, scheme), Ink::color(InkLevel::Secondary, scheme), rowHover_);
    return Ink::mix(outside, Ink::color(InkLevel::Primary, scheme), progress_);
}

bool MembershipButton::layerKey(LayerKey& key) const {
    // The mark is drawn from its icon: kept while membership and row hover stay (the button
    // repaints with its row).
    key << progress_ << rowHover_;
    return true;
}

void MembershipButton::paintContent(QPainter& painter, const QRectF& rect) {
    const QColor ink = markInk();
    const QPointF centre = rect.center();
    painter.setRenderHint(QPainter::Antialiasing);
    if (circleOpacity() > 0) {
        painter.save();
        painter.setOpacity(painter.opacity() * circleOpacity());
        painter.setPen(QPen(ink, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(centre.x() - 9.25, centre.y() - 9.25, 18.5, 18.5));
        painter.restore();
    }
    if (checkOpacity() > 0) {
        painter.save();
        painter.setOpacity(painter.opacity() * checkOpacity());
        painter.translate(centre);
        painter.scale(checkScale(), checkScale());
        painter.translate(-centre);
        BundleIcon::paint(painter, QRectF(centre.x() - 12, centre.y() - 12, 24, 24),
                          QStringLiteral("ci-check-circle"), ink);
        painter.restore();
    }
}
