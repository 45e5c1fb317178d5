#include "app/PlaceholderView.h"

namespace {
const QSize startingSize(360, 200);
}

PlaceholderView::PlaceholderView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
}

void PlaceholderView::report() {
    emit sizeChanged(startingSize);
}
