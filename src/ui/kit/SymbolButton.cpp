#include "ui/kit/SymbolButton.h"

#include "ui/kit/BundleIcon.h"
#include "ui/kit/Symbols.h"

SymbolButton::SymbolButton(const QString& symbol, const QSizeF& glyph, QWidget* parent)
    : PressableButton(parent), symbol_(symbol) {
    setContentSize(glyph);
}

void SymbolButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    bundle_ = false;
    update();
}

void SymbolButton::setBundleIcon(const QString& name) {
    symbol_ = name;
    bundle_ = true;
    update();
}

void SymbolButton::paintContent(QPainter& painter, const QRectF& rect) {
    if (bundle_)
        BundleIcon::paint(painter, rect, symbol_, ink());
    else
        Symbols::paint(painter, rect, symbol_, ink());
}
