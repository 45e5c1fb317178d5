#include "ui/kit/StepButton.h"

#include "ui/kit/Symbols.h"

StepButton::StepButton(const QString& symbol, QWidget* parent)
    : SymbolButton(symbol, QSizeF(14, 14), parent) {
    HoverOptions options;
    options.padding = 5;
    options.shape = HoverShape::Circle;
    options.rest = InkLevel::Secondary;
    setHover(options);
}

void StepButton::paintContent(QPainter& painter, const QRectF& rect) {
    Symbols::paint(painter, rect.adjusted(2, 2, -2, -2), symbol(), ink());
}
