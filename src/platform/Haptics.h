#pragma once

// Haptic feedback of the pointing device. Linux desktops offer no force-feedback trackpad
// interface, so a tick performs nothing; the count lets tests see when one would be felt.
namespace Haptics {

// One alignment tick, at once: a control snapped onto a marked value.
void alignment();

// Ticks asked for since the start of the process.
int alignments();

} // namespace Haptics
