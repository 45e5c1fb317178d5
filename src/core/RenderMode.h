#pragma once

// The process-wide render-mode flag. The text table it switches to English lives in
// core/Texts.h.
namespace RenderMode {

// False from launch; render mode sets it once before it builds anything, nothing clears it.
bool active();
void setActive();

} // namespace RenderMode
