#pragma once

#include <QFont>
#include <QString>

class QPainter;
class QPointF;
class QRectF;

// The panel's text-style table on the Inter font, in pixel sizes (points are device-independent
// pixels), and "monospaced digits" drawn in fixed cells.
//
// Takes: a style and a weight. Gives: fonts; widths and drawing of tabular numbers.
enum class TextStyle {
    Title3,      // 15 px
    Body,        // 13 px
    Callout,     // 12 px
    Subheadline, // 11 px
    Caption,     // 10 px
};

namespace Type {

inline constexpr auto family = "Inter";

int pixelSize(TextStyle style);
QFont font(TextStyle style, QFont::Weight weight = QFont::Normal);
// "The system font at size n": Inter at n pixels (rounded to whole pixels).
QFont system(double pixels, QFont::Weight weight = QFont::Normal);

// Monospaced digits: Inter's digits are proportional and Qt 6.4 cannot switch on the tabular
// figures, so every digit is placed in a cell as wide as the widest digit, centred in it;
// other characters keep their own advance.
double digitCell(const QFont& font);
double tabularWidth(const QFont& font, const QString& text);
// Draws `text` with its baseline starting at `origin`.
void drawTabular(QPainter& painter, const QPointF& origin, const QFont& font, const QString& text);
// Draws `text` vertically centred in `rect`, aligned left, centred or right by `alignment`.
void drawTabular(QPainter& painter, const QRectF& rect, Qt::Alignment alignment, const QFont& font,
                 const QString& text);

} // namespace Type
