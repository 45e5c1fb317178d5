#pragma once

#include <QHash>
#include <QString>

// The process-wide render-mode flag and the fixed German-to-English text table.
namespace RenderMode {

// False from launch; render mode sets it once before it builds anything, nothing clears it.
bool active();
void setActive();

// German source text to English text, built once on first use.
const QHash<QString, QString>& english();

} // namespace RenderMode
