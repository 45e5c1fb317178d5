#include "app/Panel.h"

#include <QEvent>
#include <QVBoxLayout>

Panel::Panel(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setWindowTitle(QStringLiteral("Tamber"));
    setObjectName(QStringLiteral("panel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Only the owner sizes the window; the root view's wishes never resize it.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
}

void Panel::setContent(QWidget* root) {
    if (content_)
        content_->deleteLater();
    content_ = root;
    layout()->addWidget(root);
}

bool Panel::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate)
        emit deactivated();
    return QWidget::event(event);
}
