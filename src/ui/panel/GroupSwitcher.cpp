#include "ui/panel/GroupSwitcher.h"

#include "core/Texts.h"
#include "household/Household.h"
#include "ui/kit/ActionMenuItem.h"

#include <QMenu>

GroupSwitcher::GroupSwitcher(const SpeakerGroup& active, Household* household, QWidget* parent)
    : SymbolButton(QStringLiteral("chevron.up.chevron.down"), QSizeF(11, 11), parent), active_(active),
      household_(household) {
    setObjectName(QStringLiteral("groupSwitcher"));
    setAccessibleName(L(QStringLiteral("Gruppe wechseln")));
    HoverOptions options;
    options.alignment = Qt::AlignHCenter;
    options.padding = 6;
    options.shape = HoverShape::Circle;
    options.rest = InkLevel::Secondary;
    setHover(options);
    connect(this, &QAbstractButton::clicked, this, &GroupSwitcher::showMenu);
    if (household_)
        connect(household_, &Household::groupsChanged, this, &GroupSwitcher::updateShown);
    updateShown();
}

void GroupSwitcher::setActive(const SpeakerGroup& active) {
    active_ = active;
    updateShown();
}

void GroupSwitcher::updateShown() {
    setHidden(!household_ || household_->groups().size() < 2);
}

QString GroupSwitcher::entryText(const QString& name, const SpeakerGroup& group, bool isActive) {
    if (!isActive && Household::isPlaying(group.state))
        return name + QStringLiteral(" \u2013 ") + L(QStringLiteral("spielt"));
    return name;
}

QMenu* GroupSwitcher::makeMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    Household* household = household_;
    if (!household)
        return menu;
    for (const SpeakerGroup& group : household->groups()) {
        const bool isActive = group.id == active_.id;
        menu->addAction(new ActionMenuItem(
            entryText(household->displayName(group), group, isActive), isActive,
            [household, group] { household->selectGroup(group); }, menu));
    }
    return menu;
}

void GroupSwitcher::showMenu() {
    QMenu* menu = makeMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(mapToGlobal(QPoint(0, height())));
}
