#include "ui/kit/KeyboardFocus.h"

void KeyboardFocus::setIndex(std::optional<int> index) {
    index_ = index;
    emit changed();
}

void KeyboardFocus::setOnFooter(bool on) {
    onFooter_ = on;
    emit changed();
}

void KeyboardFocus::setShortcutsOpen(bool open) {
    shortcutsOpen_ = open;
    if (!open)
        footerRow_.reset();
    emit changed();
}

void KeyboardFocus::setFooterRow(std::optional<int> row) {
    footerRow_ = row;
    emit changed();
}

void KeyboardFocus::setOnboardingPage(int page) {
    onboardingPage_ = page;
    emit changed();
}

void KeyboardFocus::setHintsOpen(bool open) {
    hintsOpen_ = open;
    emit changed();
}

void KeyboardFocus::setPopoverOpen(bool open) {
    popoverOpen_ = open;
    emit changed();
}
