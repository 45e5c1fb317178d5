#pragma once

#include "household/SpeakerGroup.h"
#include "ui/kit/SymbolButton.h"

class Household;
class QMenu;

// The chevron beside the group name that switches the panel to another group. Shown only while
// the household has two groups or more. Its menu, made afresh each time it opens, lists every
// group: the shown one checked, another that plays marked " – spielt". Choosing one makes it the
// active group as the user's own pick; nothing goes to the speakers.
class GroupSwitcher : public SymbolButton {
    Q_OBJECT
public:
    GroupSwitcher(const SpeakerGroup& active, Household* household, QWidget* parent = nullptr);

    // The group the tile shows.
    void setActive(const SpeakerGroup& active);
    const SpeakerGroup& active() const { return active_; }

    // The menu for the groups as they are now; the caller owns it.
    QMenu* makeMenu(QWidget* parent) const;
    // An entry's text: the group's name, with the playing mark unless it is the active group.
    static QString entryText(const QString& name, const SpeakerGroup& group, bool isActive);

private:
    void showMenu();
    void updateShown();

    SpeakerGroup active_;
    Household* household_;
};
