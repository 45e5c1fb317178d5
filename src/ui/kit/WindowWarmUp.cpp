#include "ui/kit/WindowWarmUp.h"

#include <QBackingStore>
#include <QPainter>
#include <QWidget>

namespace WindowWarmUp {

void prepare(QWidget* window) {
    if (!window || !window->isWindow() || window->isVisible() || window->size().isEmpty())
        return;
    window->winId(); // creates the platform window (still hidden) and its backing store
    QBackingStore* store = window->backingStore();
    if (!store)
        return;
    const QRect area(QPoint(0, 0), window->size());
    if (store->size() != area.size())
        store->resize(area.size());
    // Whatever is written here is painted over: the first expose repaints the whole window.
    store->beginPaint(area);
    if (QPaintDevice* device = store->paintDevice()) {
        QPainter painter(device);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, Qt::transparent);
    }
    store->endPaint();
}

} // namespace WindowWarmUp
