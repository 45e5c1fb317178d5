#include "ui/kit/SoundToggle.h"

#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace {
constexpr double glyph = 10;
constexpr double spacing = 5;
QFont labelFont() {
    return Type::font(TextStyle::Caption, QFont::Medium);
}
double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}
} // namespace

SoundToggle::SoundToggle(const QString& symbol, const QString& label, QWidget* parent)
    : PressableButton(parent), symbol_(symbol), label_(label) {
    setContentsMargins(9, 5, 9, 5);
    setAttribute(Qt::WA_Hover);
    setCheckable(false);
}

void SoundToggle::setOn(bool on) {
    if (on == on_)
        return;
    on_ = on;
    setAccessibleDescription(on ? QStringLiteral("selected") : QString());
    Motion::animate(this, onAnimation_, onProgress_, on ? 1.0 : 0.0, Motion::soundToggle,
                    Motion::panelCurve(), [this](double p) {
                        onProgress_ = p;
                        update();
                    });
}

double SoundToggle::fillOpacity(bool on, bool hovered) {
    if (on)
        return hovered ? 0.2 : 0.14;
    return hovered ? 0.07 : 0;
}

double SoundToggle::borderOpacity(bool on, bool hovered) {
    if (on)
        return 0;
    return hovered ? 0.18 : 0.12;
}

double SoundToggle::currentFillOpacity() const {
    return lerp(lerp(fillOpacity(false, false), fillOpacity(false, true), hoverProgress_),
                lerp(fillOpacity(true, false), fillOpacity(true, true), hoverProgress_), onProgress_);
}

double SoundToggle::currentBorderOpacity() const {
    return lerp(lerp(borderOpacity(false, false), borderOpacity(false, true), hoverProgress_),
                lerp(borderOpacity(true, false), borderOpacity(true, true), hoverProgress_), onProgress_);
}

QSizeF SoundToggle::contentSize() const {
    const QFontMetricsF metrics(labelFont());
    return QSizeF(glyph + spacing + metrics.horizontalAdvance(label_), std::max(glyph, metrics.height()));
}

void SoundToggle::enterEvent(QEnterEvent*) {
    hovering_ = true;
    Motion::animate(this, hoverAnimation_, hoverProgress_, 1.0, Motion::hover, Motion::hoverCurve(),
                    [this](double p) {
                        hoverProgress_ = p;
                        update();
                    });
}

void SoundToggle::leaveEvent(QEvent*) {
    hovering_ = false;
    Motion::animate(this, hoverAnimation_, hoverProgress_, 0.0, Motion::hover, Motion::hoverCurve(),
                    [this](double p) {
                        hoverProgress_ = p;
                        update();
                    });
}

void SoundToggle::paintBackground(QPainter& painter) {
    const Scheme scheme = Ink::scheme(this);
    const QRectF box(rect());
    const double r = box.height() / 2;
    QPainterPath capsule;
    capsule.addRoundedRect(box, r, r);
    painter.fillPath(capsule, Ink::primary(scheme, currentFillOpacity()));
    const double border = currentBorderOpacity();
    if (border > 0) {
        painter.setPen(QPen(Ink::primary(scheme, border), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), r - 0.5, r - 0.5);
    }
}

void SoundToggle::paintContent(QPainter& painter, const QRectF& rect) {
    const Scheme scheme = Ink::scheme(this);
    const QColor ink = Ink::mix(Ink::color(InkLevel::Secondary, scheme),
                                Ink::color(InkLevel::Primary, scheme), std::max(onProgress_, hoverProgress_));
    const QRectF glyphBox(rect.left(), rect.center().y() - glyph / 2, glyph, glyph);
    Symbols::paint(painter, glyphBox, symbol_, ink);
    painter.setPen(ink);
    painter.setFont(labelFont());
    painter.drawText(QRectF(glyphBox.right() + spacing, rect.top(), rect.right() - glyphBox.right() - spacing,
                            rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label_);
}
