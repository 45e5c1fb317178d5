#pragma once

#include <QDateTime>

// The process-wide render-mode state. While render mode draws its pictures, every view whose
// look depends on the clock, on stored state or on a loaded cover asks here instead, so that a
// picture depends on nothing but the scene. The text table it switches to English lives in
// core/Texts.h. Read and written on the main thread only.
namespace RenderMode {

// False from launch; render mode sets it once before it builds anything, nothing clears it.
bool active();
void setActive();

// Seconds into the still or clip being drawn; 0 outside one.
double time();
void setTime(double seconds);

// How far the launch-at-login switch is drawn as on: 0 off, 1 on, between for its animation.
double login();
void setLogin(double amount);

// The fixed instant render mode's clock starts from: 2026-05-09 06:13:17.8 UTC.
QDateTime epoch();

// "Now" for views that show time: the epoch advanced by `time()` while render mode is
// active, the clock's wall time otherwise.
QDateTime now();

} // namespace RenderMode
