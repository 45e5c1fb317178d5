#include "ui/panel/GroupSwitcher.h"

GroupSwitcher::GroupSwitcher(const SpeakerGroup& /*active*/, QWidget* parent) : QWidget(parent) {
    setFixedSize(0, 0);
}
