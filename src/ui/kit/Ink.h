#pragma once

#include <QColor>

class QPalette;
class QWidget;

// The panel's single neutral ink and its three emphasis levels.
//
// Takes: a widget (its palette decides the scheme) or a scheme and a level.
// Gives: colours. The ink is white in the dark scheme and black in the light one, at a fixed
// opacity per level; fills and borders use the same base colour at their own opacities.
enum class InkLevel { Primary, Secondary, Tertiary };
enum class Scheme { Dark, Light };

namespace Ink {

// Dark when the palette's window colour is dark (lightness below 128), else light.
Scheme schemeOf(const QPalette& palette);
Scheme scheme(const QWidget* widget);

// The ink table: primary 0.85 in both schemes, secondary 0.62 dark / 0.6 light, tertiary 0.4.
double opacity(InkLevel level, Scheme scheme);
QColor color(InkLevel level, Scheme scheme);

// The scheme's base colour (white in dark, black in light) at `opacity`: fills, borders, tracks.
QColor primary(Scheme scheme, double opacity);

// Fills the whole widget with primary(scheme, opacity) as a rounded rectangle; the radius is
// capped at half the height, so `capsule` (or any large radius) gives a capsule. Nothing is
// drawn at opacity 0. Called from the widget's paintEvent.
constexpr double capsule = 1e6;
void fillRounded(QWidget* widget, double opacity, double radius);

// The text-background colour (the palette's base), used for text drawn over a primary fill.
QColor textBackground(const QWidget* widget);
QColor textBackground(Scheme scheme);

// Linear mix of two colours, alpha included; t = 0 gives `a`, 1 gives `b`.
QColor mix(const QColor& a, const QColor& b, double t);

// A palette for the scheme: window, base and text roles the kit reads. Used by tests, render
// mode and the sheet to draw both schemes regardless of the desktop's own palette.
QPalette palette(Scheme scheme);

} // namespace Ink
