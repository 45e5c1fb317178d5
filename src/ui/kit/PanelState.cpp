#include "ui/kit/PanelState.h"

namespace {
bool open = false;
}

namespace PanelState {

bool pickerOpen() {
    return open;
}

void setPickerOpen(bool value) {
    open = value;
}

} // namespace PanelState
