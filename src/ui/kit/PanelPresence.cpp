#include "ui/kit/PanelPresence.h"

void PanelPresence::setShown(bool shown, bool animated) {
    shown_ = shown;
    emit shownChanged(shown, animated);
}
