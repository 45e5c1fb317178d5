#pragma once

#include <QRect>
#include <QSize>

// Where the panel goes for a content size: centred under the tray icon, kept 8 points inside
// the screen's usable area on both sides (the right-hand bound wins when the panel is wider
// than the area), its top 6 points below the icon. A tray at the bottom of the screen puts the
// panel above the icon instead, 6 points clear of it.
namespace PanelPlacement {

inline constexpr int sideInset = 8;
inline constexpr int iconGap = 6;

// `anchor` is the tray icon's rectangle and `visible` the usable area of its screen, both in
// screen coordinates (y grows downwards).
QRect frame(QSize size, const QRect& anchor, const QRect& visible);

} // namespace PanelPlacement
