#pragma once

#include "ui/kit/PressableButton.h"

// A pressable glyph: a symbol of the kit's set (or, with setBundleIcon, one of the bundle icons)
// drawn in the button's ink, fitted into the content size. The transport buttons, the quit
// button and the step button are symbol buttons.
//
// Takes: symbol name, glyph size, optional HoverOptions. Emits: clicked().
class SymbolButton : public PressableButton {
    Q_OBJECT
public:
    SymbolButton(const QString& symbol, const QSizeF& glyph, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    // Draw a bundle icon of this name instead of a symbol.
    void setBundleIcon(const QString& name);

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override;

private:
    QString symbol_;
    bool bundle_ = false;
};
