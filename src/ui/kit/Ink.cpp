#include "ui/kit/Ink.h"

#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <algorithm>

namespace Ink {

Scheme schemeOf(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128 ? Scheme::Dark : Scheme::Light;
}

Scheme scheme(const QWidget* widget) {
    return widget ? schemeOf(widget->palette()) : Scheme::Light;
}

double opacity(InkLevel level, Scheme scheme) {
    switch (level) {
    case InkLevel::Primary:
        return 0.85;
    case InkLevel::Secondary:
        return scheme == Scheme::Dark ? 0.62 : 0.6;
    case InkLevel::Tertiary:
        return 0.4;
    }
    return 0.85;
}

QColor primary(Scheme scheme, double alpha) {
    QColor c = scheme == Scheme::Dark ? QColor(255, 255, 255) : QColor(0, 0, 0);
    c.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return c;
}

void fillRounded(QWidget* widget, double alpha, double radius) {
    if (alpha <= 0)
        return;
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(primary(scheme(widget), alpha));
    const QRectF box(widget->rect());
    const double r = std::min(radius, box.height() / 2);
    painter.drawRoundedRect(box, r, r);
}

QColor color(InkLevel level, Scheme scheme) {
    return primary(scheme, opacity(level, scheme));
}

QColor textBackground(const QWidget* widget) {
    return widget ? widget->palette().color(QPalette::Base) : textBackground(Scheme::Light);
}

QColor textBackground(Scheme scheme) {
    return palette(scheme).color(QPalette::Base);
}

QColor mix(const QColor& a, const QColor& b, double t) {
    const float u = static_cast<float>(std::clamp(t, 0.0, 1.0));
    const auto lerp = [u](float x, float y) { return x + (y - x) * u; };
    // Mix premultiplied so that a transparent end does not drag the colour towards black.
    const float aa = a.alphaF(), ba = b.alphaF();
    const float alpha = lerp(aa, ba);
    if (alpha <= 0.0f)
        return QColor(0, 0, 0, 0);
    QColor out;
    out.setRgbF(lerp(a.redF() * aa, b.redF() * ba) / alpha, lerp(a.greenF() * aa, b.greenF() * ba) / alpha,
                lerp(a.blueF() * aa, b.blueF() * ba) / alpha, alpha);
    return out;
}

QPalette palette(Scheme scheme) {
    QPalette p;
    if (scheme == Scheme::Dark) {
        p.setColor(QPalette::Window, QColor(0x23, 0x23, 0x25));
        p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
        p.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf2));
        p.setColor(QPalette::Text, QColor(0xf2, 0xf2, 0xf2));
        p.setColor(QPalette::ButtonText, QColor(0xf2, 0xf2, 0xf2));
        p.setColor(QPalette::Button, QColor(0x2c, 0x2c, 0x2e));
        p.setColor(QPalette::Highlight, QColor(255, 255, 255, 51));
        p.setColor(QPalette::HighlightedText, QColor(0xf2, 0xf2, 0xf2));
        p.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 102));
    } else {
        p.setColor(QPalette::Window, QColor(0xf4, 0xf4, 0xf5));
        p.setColor(QPalette::Base, QColor(0xff, 0xff, 0xff));
        p.setColor(QPalette::WindowText, QColor(0x1a, 0x1a, 0x1a));
        p.setColor(QPalette::Text, QColor(0x1a, 0x1a, 0x1a));
        p.setColor(QPalette::ButtonText, QColor(0x1a, 0x1a, 0x1a));
        p.setColor(QPalette::Button, QColor(0xe8, 0xe8, 0xea));
        p.setColor(QPalette::Highlight, QColor(0, 0, 0, 51));
        p.setColor(QPalette::HighlightedText, QColor(0x1a, 0x1a, 0x1a));
        p.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 102));
    }
    // Disabled entries (a menu's unavailable item) in the tertiary ink, without the etched
    // shadow styles draw from the light role.
    const QColor dim = color(InkLevel::Tertiary, scheme);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, dim);
    p.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent);
    return p;
}

} // namespace Ink
