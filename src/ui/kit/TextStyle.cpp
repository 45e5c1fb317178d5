#include "ui/kit/TextStyle.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <deque>

namespace Type {

int pixelSize(TextStyle style) {
    switch (style) {
    case TextStyle::Title3:
        return 15;
    case TextStyle::Body:
        return 13;
    case TextStyle::Callout:
        return 12;
    case TextStyle::Subheadline:
        return 11;
    case TextStyle::Caption:
        return 10;
    }
    return 13;
}

QFont system(double pixels, QFont::Weight weight) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    f.setWeight(weight);
    // Unhinted outlines keep the advances that layout was measured with at every ratio.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QFont font(TextStyle style, QFont::Weight weight) {
    return system(pixelSize(style), weight);
}

namespace {
// A font's characters as tabular numbers draw them (one at a time), each looked up once: its
// advance and its glyph, which drawing then only blits from the glyph cache. The time labels
// are repainted with the waves behind them on every frame.
struct Character {
    QGlyphRun glyph;
    double advance = 0;
};
struct Characters {
    QFont font;
    QRawFont raw;
    double cell = 0;
    QHash<char16_t, Character> byCode;
};

Characters& characters(const QFont& font) {
    // A few fonts only: compared directly, which is cheaper than building their keys.
    static std::deque<Characters> fonts;
    for (Characters& set : fonts)
        if (set.font == font)
            return set;
    Characters& fresh = fonts.emplace_back();
    fresh.font = font;
    fresh.raw = QRawFont::fromFont(font);
    const QFontMetricsF metrics(font);
    for (char16_t d = u'0'; d <= u'9'; ++d)
        fresh.cell = std::max(fresh.cell, metrics.horizontalAdvance(QChar(d)));
    return fresh;
}

const Character& character(Characters& set, QChar c) {
    auto it = set.byCode.find(c.unicode());
    if (it == set.byCode.end()) {
        Character fresh;
        fresh.glyph.setRawFont(set.raw);
        fresh.glyph.setGlyphIndexes(set.raw.glyphIndexesForString(QString(c)));
        fresh.glyph.setPositions(QList<QPointF>(fresh.glyph.glyphIndexes().size(), QPointF(0, 0)));
        fresh.advance = QFontMetricsF(set.font).horizontalAdvance(c);
        it = set.byCode.insert(c.unicode(), fresh);
    }
    return *it;
}
} // namespace

double digitCell(const QFont& font) {
    return characters(font).cell;
}

double tabularWidth(const QFont& font, const QString& text) {
    Characters& set = characters(font);
    double width = 0;
    for (const QChar c : text)
        width += c.isDigit() ? set.cell : character(set, c).advance;
    return width;
}

void drawTabular(QPainter& painter, const QPointF& origin, const QFont& font, const QString& text) {
    Characters& set = characters(font);
    const double cell = set.cell;
    painter.setFont(font);
    double x = origin.x();
    for (const QChar c : text) {
        const Character& glyph = character(set, c);
        if (c.isDigit()) {
            painter.drawGlyphRun(QPointF(x + (cell - glyph.advance) / 2, origin.y()), glyph.glyph);
            x += cell;
        } else {
            painter.drawGlyphRun(QPointF(x, origin.y()), glyph.glyph);
            x += glyph.advance;
        }
    }
}

void drawTabular(QPainter& painter, const QRectF& rect, Qt::Alignment alignment, const QFont& font,
                 const QString& text) {
    const QFontMetricsF metrics(font);
    const double width = tabularWidth(font, text);
    double x = rect.left();
    if (alignment & Qt::AlignHCenter)
        x = rect.center().x() - width / 2;
    else if (alignment & Qt::AlignRight)
        x = rect.right() - width;
    const double baseline = rect.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    drawTabular(painter, QPointF(x, baseline), font, text);
}

} // namespace Type
