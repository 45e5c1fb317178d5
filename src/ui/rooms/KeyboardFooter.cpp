#include "ui/rooms/KeyboardFooter.h"

// Not built yet: draws nothing and offers nothing.
KeyboardFooter::KeyboardFooter(const RoomsEnvironment& environment, QWidget* parent)
    : QWidget(parent), environment_(environment) {}
