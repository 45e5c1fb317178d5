#include "app/PanelPresence.h"

void PanelPresence::setShown(bool shown, bool animated) {
    shown_ = shown;
    emit shownChanged(shown, animated);
}
