#include "ui/kit/TextStyle.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cmath>

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

double digitCell(const QFont& font) {
    static QHash<QString, double> cells;
    const QString key = font.key();
    auto it = cells.constFind(key);
    if (it != cells.constEnd())
        return *it;
    const QFontMetricsF metrics(font);
    double widest = 0;
    for (char16_t d = u'0'; d <= u'9'; ++d)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(d)));
    cells.insert(key, widest);
    return widest;
}

double tabularWidth(const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    const double cell = digitCell(font);
    double width = 0;
    for (const QChar c : text)
        width += c.isDigit() ? cell : metrics.horizontalAdvance(c);
    return width;
}

namespace {
// A font's digits (and the colon of times), each looked up once: its advance and its glyph,
// which drawing then only blits from the glyph cache. The time labels are repainted with the
// waves behind them on every frame.
struct Character {
    QGlyphRun glyph;
    double advance = 0;
};
struct Characters {
    QRawFont raw;
    QHash<char16_t, Character> byCode;
};

const Character& character(Characters& set, const QFont& font, QChar c) {
    auto it = set.byCode.find(c.unicode());
    if (it == set.byCode.end()) {
        Character fresh;
        fresh.glyph.setRawFont(set.raw);
        fresh.glyph.setGlyphIndexes(set.raw.glyphIndexesForString(QString(c)));
        fresh.glyph.setPositions(QList<QPointF>(fresh.glyph.glyphIndexes().size(), QPointF(0, 0)));
        fresh.advance = QFontMetricsF(font).horizontalAdvance(c);
        it = set.byCode.insert(c.unicode(), fresh);
    }
    return *it;
}

Characters& characters(const QFont& font) {
    static QHash<QString, Characters> fonts;
    const QString key = font.key();
    auto it = fonts.find(key);
    if (it == fonts.end()) {
        Characters fresh;
        fresh.raw = QRawFont::fromFont(font);
        it = fonts.insert(key, fresh);
    }
    return *it;
}
} // namespace

void drawTabular(QPainter& painter, const QPointF& origin, const QFont& font, const QString& text) {
    Characters& set = characters(font);
    const double cell = digitCell(font);
    painter.setFont(font);
    double x = origin.x();
    const QFontMetricsF metrics(font);
    for (const QChar c : text) {
        if (c.isDigit()) {
            const Character& digit = character(set, font, c);
            painter.drawGlyphRun(QPointF(x + (cell - digit.advance) / 2, origin.y()), digit.glyph);
            x += cell;
        } else if (c == u':') {
            const Character& colon = character(set, font, c);
            painter.drawGlyphRun(QPointF(x, origin.y()), colon.glyph);
            x += colon.advance;
        } else {
            // Signs and letters are shaped as text: the font may put another glyph in their place.
            painter.drawText(QPointF(x, origin.y()), QString(c));
            x += metrics.horizontalAdvance(c);
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
