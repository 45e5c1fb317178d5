#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;
class QSvgRenderer;

// The kit's own symbolic glyphs, one SVG per symbol name on a 16-point grid in resources/symbols
// (named exactly as the views name them: "play.fill", "hifispeaker.2", …), and the bundle icons in
// resources/icons ("menubar", "airplay", "quit", …). Both are drawn as templates: the SVG's shape
// filled with one ink colour.
//
// Takes: a name, a rectangle in logical points, a colour. Gives: nothing drawn for an unknown name.
namespace Symbols {

// Resource path of a symbol's SVG (":/symbols/<name>.svg").
QString path(const QString& name);
bool exists(const QString& name);
// Every symbol name in the set, sorted.
QStringList names();

// Draws symbol `name` scaled to fit `rect` (keeping its square), centred, snapped to device
// pixels of the painter's target, in `color`. Returns false when there is no such symbol.
bool paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);

// The same for any SVG resource path (bundle icons use it).
bool paintResource(QPainter& painter, const QRectF& rect, const QString& resourcePath, const QColor& color);

// The loaded renderer for a resource path, parsed once per run; null when the file is missing
// or does not parse (not remembered, so a later call tries again).
QSvgRenderer* renderer(const QString& resourcePath);

// The device pixel ratio the painter really draws at (a widget rendered into a ratio-2 image
// reports ratio 1 from painter.device()).
double targetRatio(const QPainter& painter);

// Makes sure the kit's compiled-in resources are registered (the kit is a static library).
void ensureResources();

} // namespace Symbols
