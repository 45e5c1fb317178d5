#include "ui/rooms/FooterRowFrame.h"

#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/rooms/InkLabel.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>

FooterRowFrame::FooterRowFrame(const QString& caption, std::function<void()> action, QWidget* parent)
    : QWidget(parent), action_(std::move(action)) {
    setMinimumHeight(18);
    content_ = new QHBoxLayout(this);
    // The highlight reaches 6 points left and right and 4 above and below the row's text.
    content_->setContentsMargins(6, 4, 6, 4);
    content_->addWidget(new InkLabel(caption, TextStyle::Caption, 0.8, this));
    content_->addStretch(1);
}

void FooterRowFrame::setKeyed(bool keyed) {
    if (keyed == keyed_)
        return;
    keyed_ = keyed;
    update();
}

void FooterRowFrame::paintEvent(QPaintEvent*) {
    Ink::fillRounded(this, drawnFill(), 8);
}

void FooterRowFrame::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && action_)
        action_();
}

void FooterRowFrame::setHovering(bool hovering) {
    hover_.set(hovering);
}

void FooterRowFrame::enterEvent(QEnterEvent*) {
    setHovering(true);
}

void FooterRowFrame::leaveEvent(QEvent*) {
    setHovering(false);
}
