#include "ui/panel/MusicAppShortcuts.h"

MusicAppShortcuts::MusicAppShortcuts(QWidget* parent) : QWidget(parent) {
    setFixedSize(0, 0);
}
