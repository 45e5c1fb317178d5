#pragma once

#include "household/SpeakerGroup.h"

#include <QWidget>

// The menu beside the group name that switches the panel to another group.
// Not built yet: this stand-in takes no space and draws nothing.
class GroupSwitcher : public QWidget {
    Q_OBJECT
public:
    explicit GroupSwitcher(const SpeakerGroup& active, QWidget* parent = nullptr);
};
