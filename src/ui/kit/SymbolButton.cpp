#include "ui/kit/SymbolButton.h"

#include "ui/kit/BundleIcon.h"
#include "ui/kit/Motion.h"
#include "ui/kit/Symbols.h"

#include <QPainter>
#include <QVariantAnimation>

namespace {

// How small a replaced glyph is at the far end of the cross-fade.
constexpr double replacedScale = 0.7;
constexpr std::chrono::milliseconds replaceDuration(200);

} // namespace

SymbolButton::SymbolButton(const QString& symbol, const QSizeF& glyph, QWidget* parent)
    : PressableButton(parent), symbol_(symbol) {
    setContentSize(glyph);
}

void SymbolButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    bundle_ = false;
    if (replaceAnimation_)
        Motion::animate(this, replaceAnimation_, replace_, 1.0, std::chrono::milliseconds(0),
                        Motion::panelCurve(), [this](double p) { replace_ = p; });
    update();
}

void SymbolButton::replaceSymbol(const QString& symbol) {
    if (symbol == symbol_ && !bundle_)
        return;
    previous_ = symbol_;
    symbol_ = symbol;
    bundle_ = false;
    Motion::animate(this, replaceAnimation_, 0.0, 1.0, replaceDuration, Motion::panelCurve(),
                    [this](double p) {
                        replace_ = p;
                        update();
                    });
}

void SymbolButton::setBundleIcon(const QString& name) {
    symbol_ = name;
    bundle_ = true;
    update();
}

void SymbolButton::paintContent(QPainter& painter, const QRectF& rect) {
    if (bundle_)
        BundleIcon::paint(painter, rect, symbol_, ink());
    else if (replace_ >= 1)
        Symbols::paint(painter, rect, symbol_, ink());
    else {
        paintGlyph(painter, rect, previous_, 1 - replace_);
        paintGlyph(painter, rect, symbol_, replace_);
    }
}

bool SymbolButton::layerKey(LayerKey& key) const {
    key << symbol_ << bundle_ << previous_ << replace_;
    return true;
}

void SymbolButton::paintGlyph(QPainter& painter, const QRectF& rect, const QString& name, double presence) {
    if (presence <= 0)
        return;
    const double scale = replacedScale + (1 - replacedScale) * presence;
    painter.save();
    painter.setOpacity(painter.opacity() * presence);
    painter.translate(rect.center());
    painter.scale(scale, scale);
    painter.translate(-rect.center());
    Symbols::paint(painter, rect, name, ink());
    painter.restore();
}
