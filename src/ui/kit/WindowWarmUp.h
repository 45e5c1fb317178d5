#pragma once

class QWidget;

// Readies a hidden top-level window for its first frame: its platform window and backing store
// are created and every pixel of the store is written once, now. Opening the window then does
// not pay for the store's fresh memory (for a panel at a device pixel ratio of 2, several
// milliseconds of page faults inside the first frame the user waits for). Called again after
// each resize while hidden; a shown window is left alone.
namespace WindowWarmUp {
void prepare(QWidget* window);
} // namespace WindowWarmUp
