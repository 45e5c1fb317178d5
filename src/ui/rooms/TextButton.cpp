#include "ui/rooms/TextButton.h"

#include <QFontMetricsF>
#include <QPainter>

TextButton::TextButton(const QString& text, TextStyle style, QWidget* parent) : PressableButton(parent) {
    setText(text);
    setFont(Type::font(style));
    const QFontMetricsF metrics(font());
    setContentSize(QSizeF(std::ceil(metrics.horizontalAdvance(text)), std::ceil(metrics.height())));
}

void TextButton::paintContent(QPainter& painter, const QRectF& rect) {
    painter.setFont(font());
    painter.setPen(ink());
    painter.drawText(rect, Qt::AlignCenter, text());
}
