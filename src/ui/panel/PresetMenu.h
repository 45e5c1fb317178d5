#pragma once

#include "household/SpeakerGroup.h"
#include "ui/kit/PressableButton.h"

class Household;
class QMenu;

// The "Sets" button in the room list's header. Its menu, made afresh each time it opens, lists
// the saved room presets numbered 1, 2, 3 … (the digits of the panel's keys), the one holding
// exactly the group's rooms checked; choosing one applies it. Below them: saving the group's
// rooms as a new preset (not while one matches or nine are saved) and a submenu deleting one.
class PresetMenu : public PressableButton {
    Q_OBJECT
public:
    PresetMenu(const SpeakerGroup& group, Household* household, QWidget* parent = nullptr);

    // The group whose rooms are compared and saved; follows the room list's group.
    void setGroup(const SpeakerGroup& group);
    const SpeakerGroup& group() const { return group_; }

    // The menu for the presets and the group as they are now; the caller owns it.
    QMenu* makeMenu(QWidget* parent) const;

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override;

private:
    void showMenu();

    SpeakerGroup group_;
    Household* household_;
};
