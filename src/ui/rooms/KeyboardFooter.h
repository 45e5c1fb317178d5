#pragma once

#include "ui/rooms/RoomsEnvironment.h"

#include <QWidget>

// The keyboard footer: key hints, hot key, volume keys, login and system health rows.
class KeyboardFooter : public QWidget {
    Q_OBJECT
public:
    explicit KeyboardFooter(const RoomsEnvironment& environment, QWidget* parent = nullptr);

private:
    RoomsEnvironment environment_;
};
