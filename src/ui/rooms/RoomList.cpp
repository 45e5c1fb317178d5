#include "ui/rooms/RoomList.h"

#include "core/Tasks.h"
#include "core/Texts.h"
#include "household/Household.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/TextStyle.h"
#include "ui/rooms/InkLabel.h"
#include "ui/rooms/RoomRow.h"
#include "ui/rooms/TextButton.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

RoomList::RoomList(const SpeakerGroup& group, const RoomsEnvironment& environment,
                   PresetMenuFactory presetMenu, QWidget* parent)
    : QWidget(parent), group_(group), environment_(environment), presetMenu_(std::move(presetMenu)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->addWidget(new InkLabel(L(QStringLiteral("Speaker")), TextStyle::Caption, InkLevel::Secondary,
                                   this, QFont::Medium));
    header->addStretch(1);
    if (presetMenu_) {
        menu_ = presetMenu_(group_, this);
        if (menu_)
            header->addWidget(menu_);
    }
    joinAll_ = new TextButton(L(QStringLiteral("Alle")), TextStyle::Caption, this);
    joinAll_->setObjectName(QStringLiteral("joinAll"));
    connect(joinAll_, &QAbstractButton::clicked, this, [this] {
        if (environment_.household)
            Tasks::detach(environment_.household->joinAll(), "join all rooms");
    });
    header->addWidget(joinAll_);
    column->addLayout(header);

    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setSpacing(4);
    column->addLayout(rowsLayout_);
    column->addStretch(1);

    if (environment_.household)
        connect(environment_.household, &Household::groupsChanged, this, &RoomList::reconcile);
    if (environment_.focus)
        connect(environment_.focus, &KeyboardFocus::changed, this, &RoomList::reconcile);
    reconcile();
}

void RoomList::setGroup(const SpeakerGroup& group) {
    group_ = group;
    reconcile();
}

QList<RoomRow*> RoomList::rows() const {
    QList<RoomRow*> out;
    for (int i = 0; i < rowsLayout_->count(); ++i)
        if (auto* rowWidget = qobject_cast<RoomRow*>(rowsLayout_->itemAt(i)->widget()))
            out.append(rowWidget);
    return out;
}

bool RoomList::joinAllEnabled() const {
    // Only the counts are compared: every listed room already plays in the group.
    return roomCount_ != group_.rooms.size();
}

void RoomList::reconcile() {
    const QList<Room> rooms = environment_.household ? environment_.household->allRooms() : group_.rooms;
    roomCount_ = int(rooms.size());
    const bool onFooter = environment_.focus && environment_.focus->onFooter();
    const std::optional<int> index = environment_.focus ? environment_.focus->index() : std::nullopt;

    QHash<QString, RoomRow*> kept;
    for (int offset = 0; offset < rooms.size(); ++offset) {
        Room room = rooms[offset];
        // A room of the group shows the group's copy of its volume and mute state.
        for (const Room& member : group_.rooms)
            if (member.id == room.id)
                room = member;
        const bool focused = !onFooter && index == offset;
        RoomRow* rowWidget = rows_.take(room.id);
        if (rowWidget)
            rowWidget->show(room, group_, focused);
        else
            rowWidget = new RoomRow(room, group_, focused, environment_, this);
        kept.insert(room.id, rowWidget);
        // Moves an existing row only when its place changed.
        if (rowsLayout_->indexOf(rowWidget) != offset) {
            rowsLayout_->removeWidget(rowWidget);
            rowsLayout_->insertWidget(offset, rowWidget);
        }
    }
    for (RoomRow* gone : std::as_const(rows_))
        delete gone;
    rows_ = kept;

    const bool enabled = joinAllEnabled();
    joinAll_->setEnabled(enabled);
    joinAll_->setHover({.tooltip = std::nullopt,
                        .alignment = Qt::AlignHCenter,
                        .padding = 6,
                        .shape = HoverShape::Capsule,
                        .rest = enabled ? InkLevel::Primary : InkLevel::Tertiary,
                        .chrome = true,
                        .enabled = enabled,
                        .above = false});
}
