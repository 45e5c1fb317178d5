#pragma once

#include "ui/kit/SymbolButton.h"

// A round glyph-only button beside a volume slider ("minus", "plus"): a 10 × 10 glyph with
// 2 points of padding, hoverable with padding 5, circular chrome, resting at the secondary ink;
// 24 × 24 in all.
//
// Takes: symbol. Emits: clicked() once per click; holding it down fires nothing more.
class StepButton : public SymbolButton {
    Q_OBJECT
public:
    explicit StepButton(const QString& symbol, QWidget* parent = nullptr);

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override;
};
