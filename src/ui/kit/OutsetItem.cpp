#include "ui/kit/OutsetItem.h"

#include <QBoxLayout>
#include <QWidget>

#include <algorithm>

namespace {
QSize shrink(QSize size, const QMargins& m) {
    return QSize(std::max(0, size.width() - m.left() - m.right()),
                 std::max(0, size.height() - m.top() - m.bottom()));
}
} // namespace

OutsetItem::OutsetItem(QWidget* widget, const QMargins& outset) : QWidgetItem(widget), outset_(outset) {}

OutsetItem* OutsetItem::add(QBoxLayout* layout, QWidget* widget, const QMargins& outset, int stretch) {
    // What QLayout::addWidget does for its own items: take the widget into the layout's widget
    // (a layout not yet on a widget reparents its items' widgets when it gets one).
    if (QWidget* owner = layout->parentWidget(); owner && widget->parentWidget() != owner) {
        const bool explicitlyHidden =
            widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
        widget->setParent(owner);
        if (!explicitlyHidden)
            widget->show();
    }
    auto* item = new OutsetItem(widget, outset);
    layout->addItem(item);
    layout->setStretch(layout->count() - 1, stretch);
    return item;
}

QSize OutsetItem::sizeHint() const {
    return shrink(QWidgetItem::sizeHint(), outset_);
}

QSize OutsetItem::minimumSize() const {
    return shrink(QWidgetItem::minimumSize(), outset_);
}

QSize OutsetItem::maximumSize() const {
    const QSize max = QWidgetItem::maximumSize();
    return QSize(max.width() >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX : shrink(max, outset_).width(),
                 max.height() >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX : shrink(max, outset_).height());
}

void OutsetItem::setGeometry(const QRect& rect) {
    // The widget fills its slot plus the outset (QWidgetItem's own placement would measure the
    // widget with the shrunk hints of this item).
    slot_ = rect;
    if (!isEmpty())
        widget()->setGeometry(rect.marginsAdded(outset_));
}

QRect OutsetItem::geometry() const {
    return slot_;
}
