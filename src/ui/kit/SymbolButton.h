#pragma once

#include "ui/kit/PressableButton.h"

class QVariantAnimation;

// A pressable glyph: a symbol of the kit's set (or, with setBundleIcon, one of the bundle icons)
// drawn in the button's ink, fitted into the content size. The transport buttons, the quit
// button and the step button are symbol buttons.
//
// A symbol can also be replaced with a short cross-fade: the old glyph shrinks a little as it
// fades out while the new one grows into place.
//
// Takes: symbol name, glyph size, optional HoverOptions. Emits: clicked().
class SymbolButton : public PressableButton {
    Q_OBJECT
public:
    SymbolButton(const QString& symbol, const QSizeF& glyph, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    // Cross-fades to `symbol` (0.2 s, panel curve); nothing moves when it is already shown.
    void replaceSymbol(const QString& symbol);
    double replaceProgress() const { return replace_; } // 1 when at rest
    QString replacedSymbol() const { return previous_; }
    // Draw a bundle icon of this name instead of a symbol.
    void setBundleIcon(const QString& name);

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override;
    bool layerKey(LayerKey& key) const override;

private:
    void paintGlyph(QPainter& painter, const QRectF& rect, const QString& name, double presence);

    QString symbol_;
    bool bundle_ = false;
    QString previous_;
    double replace_ = 1;
    QVariantAnimation* replaceAnimation_ = nullptr;
};
