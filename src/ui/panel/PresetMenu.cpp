#include "ui/panel/PresetMenu.h"

PresetMenu::PresetMenu(const SpeakerGroup& /*group*/, QWidget* parent) : QWidget(parent) {
    setFixedSize(0, 0);
}
