#include "ui/rooms/InkLabel.h"

#include "ui/kit/Ink.h"

#include <QEvent>

InkLabel::InkLabel(const QString& text, TextStyle style, double opacity, QWidget* parent,
                   QFont::Weight weight)
    : QLabel(text, parent), opacity_(opacity) {
    setFont(Type::font(style, weight));
    applyInk();
}

InkLabel::InkLabel(const QString& text, TextStyle style, InkLevel level, QWidget* parent,
                   QFont::Weight weight)
    : QLabel(text, parent), level_(level) {
    setFont(Type::font(style, weight));
    applyInk();
}

void InkLabel::setOpacity(double opacity) {
    level_.reset();
    opacity_ = opacity;
    applyInk();
}

void InkLabel::setLevel(InkLevel level) {
    level_ = level;
    applyInk();
}

void InkLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
        applyInk();
}

void InkLabel::applyInk() {
    // The scheme comes from the window's background, which setting the text colour leaves alone.
    const Scheme scheme = Ink::schemeOf(palette());
    const QColor ink = level_ ? Ink::color(*level_, scheme) : Ink::primary(scheme, opacity_);
    if (palette().color(QPalette::WindowText) == ink)
        return;
    QPalette inked = palette();
    inked.setColor(QPalette::WindowText, ink);
    setPalette(inked);
}
