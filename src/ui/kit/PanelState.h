#pragma once

// The one flag the panel window's outside-click rule reads: true from the moment the route
// menu starts to show until it has closed (clicks elsewhere then do not close the panel).
// Written only by RouteButton; lives for the whole process; main thread only.
namespace PanelState {
bool pickerOpen();
void setPickerOpen(bool open);
} // namespace PanelState
