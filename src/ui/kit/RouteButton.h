#pragma once

#include "ui/kit/SymbolButton.h"

#include <QMenu>
#include <QPointer>

class AudioOutputs;

// The header's route button: the "airplay" icon (16 points); a click opens a menu of the
// machine's audio outputs with the default checked, and choosing one makes it the default.
// PanelState::pickerOpen() is true while that menu shows; when it closes the panel window gets
// the keyboard back. Where `pactl` is absent the button shows only its icon and tooltip.
//
// Takes: HoverOptions (the header states them; setHover). Emits: menuShown(), menuClosed(),
// routeChosen(name) after the default was changed.
class RouteButton : public SymbolButton {
    Q_OBJECT
public:
    explicit RouteButton(QWidget* parent = nullptr);

    QMenu* menu() const { return menu_; }
    // Lists the outputs and shows the menu below the button (what a click does).
    void openMenu();

signals:
    void menuShown();
    void menuClosed();
    void routeChosen(const QString& name);

private:
    AudioOutputs* outputs_;
    QPointer<QMenu> menu_;
    bool listing_ = false;
};
