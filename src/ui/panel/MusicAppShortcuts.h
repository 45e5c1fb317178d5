#pragma once

#include <QWidget>

// Buttons that open the installed music apps while nothing is loaded.
// Not built yet: this stand-in takes no space and draws nothing.
class MusicAppShortcuts : public QWidget {
    Q_OBJECT
public:
    explicit MusicAppShortcuts(QWidget* parent = nullptr);
};
