#include "ui/kit/KeyCap.h"

#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <cmath>

namespace {
constexpr double padX = 5;
constexpr double padY = 3;
constexpr double minimumFace = 12;
constexpr double glyph = 10;
constexpr double glyphGap = 2;
QFont faceFont() {
    return Type::system(10, QFont::DemiBold);
}
} // namespace

KeyCap::KeyCap(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KeyCap::setText(const QString& text) {
    text_ = text;
    symbols_.clear();
    updateGeometry();
    update();
}

void KeyCap::setSymbols(const QStringList& symbols) {
    symbols_ = symbols;
    text_.clear();
    updateGeometry();
    update();
}

void KeyCap::setFaceWidth(std::optional<double> width) {
    width_ = width;
    updateGeometry();
    update();
}

void KeyCap::setHighlighted(bool highlighted) {
    if (highlighted == highlighted_)
        return;
    highlighted_ = highlighted;
    Motion::animate(this, animation_, fill_, highlighted ? 0.18 : 0.10, Motion::keyCap, Motion::panelCurve(),
                    [this](double v) {
                        fill_ = v;
                        update();
                    });
    update(); // the face's opacity changes at once
}

QSizeF KeyCap::faceSize() const {
    double w = 0, h = 0;
    if (!symbols_.isEmpty()) {
        w = symbols_.size() * glyph + (symbols_.size() - 1) * glyphGap;
        h = glyph;
    } else {
        const QFontMetricsF metrics(faceFont());
        w = metrics.horizontalAdvance(text_);
        h = metrics.height();
    }
    return QSizeF(w, h);
}

QSize KeyCap::sizeHint() const {
    const QSizeF face = faceSize();
    const double w = width_ ? *width_ : std::max(minimumFace, face.width());
    const double h = std::max(minimumFace, face.height());
    return QSize(static_cast<int>(std::ceil(w + 2 * padX)), static_cast<int>(std::ceil(h + 2 * padY)));
}

void KeyCap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Scheme scheme = Ink::scheme(this);
    const QRectF box(rect());
    QPainterPath shape;
    shape.addRoundedRect(box, 5, 5);
    painter.fillPath(shape, Ink::primary(scheme, fill_));
    const QColor ink = Ink::primary(scheme, faceOpacity());
    const QRectF face = box.adjusted(padX, padY, -padX, -padY);
    painter.save();
    painter.setClipRect(face.adjusted(-1, -1, 1, 1)); // a face wider than a fixed width is cut
    if (!symbols_.isEmpty()) {
        const double total = faceSize().width();
        double x = face.center().x() - total / 2;
        for (const QString& symbol : symbols_) {
            Symbols::paint(painter, QRectF(x, face.center().y() - glyph / 2, glyph, glyph), symbol, ink);
            x += glyph + glyphGap;
        }
    } else {
        painter.setFont(faceFont());
        painter.setPen(ink);
        painter.drawText(face, Qt::AlignCenter | Qt::TextSingleLine, text_);
    }
    painter.restore();
}
