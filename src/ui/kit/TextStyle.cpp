#include "ui/kit/TextStyle.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

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

void drawTabular(QPainter& painter, const QPointF& origin, const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    const double cell = digitCell(font);
    painter.setFont(font);
    double x = origin.x();
    for (const QChar c : text) {
        const double advance = metrics.horizontalAdvance(c);
        if (c.isDigit()) {
            painter.drawText(QPointF(x + (cell - advance) / 2, origin.y()), QString(c));
            x += cell;
        } else {
            painter.drawText(QPointF(x, origin.y()), QString(c));
            x += advance;
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
