#pragma once

#include <QMargins>
#include <QWidgetItem>

class QBoxLayout;

// A layout item for a widget that reaches beyond its slot (a negative padding): the layout
// sees the widget minus `outset`, the widget gets its slot plus `outset`. Used where a control's
// hover chrome or capsule extends into the tile's padding (the volume row, the editable name's
// field capsule). The parent must have room there, since children are clipped to it.
//
// Takes: the widget and the outset on each edge (positive values reach outwards).
class OutsetItem : public QWidgetItem {
public:
    OutsetItem(QWidget* widget, const QMargins& outset);

    // Adds `widget` to `layout` with `outset` (the layout takes the item).
    static OutsetItem* add(QBoxLayout* layout, QWidget* widget, const QMargins& outset, int stretch = 0);

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;
    void setGeometry(const QRect& rect) override;
    QRect geometry() const override;

private:
    QMargins outset_;
    QRect slot_;
};
