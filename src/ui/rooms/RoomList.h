#pragma once

#include "household/SpeakerGroup.h"
#include "ui/rooms/RoomsEnvironment.h"

#include <QHash>
#include <QWidget>

#include <functional>

class PressableButton;
class QVBoxLayout;
class RoomRow;

// The rooms of the household with membership, volume and sound controls for the active group,
// keyed by room id: rows survive reordering and updates in place. Its header row holds the
// room-preset menu of the list's group, made by `presetMenu` (the panel owns that menu).
class RoomList : public QWidget {
    Q_OBJECT
public:
    using PresetMenuFactory = std::function<QWidget*(const SpeakerGroup& group, QWidget* parent)>;

    RoomList(const SpeakerGroup& group, const RoomsEnvironment& environment, PresetMenuFactory presetMenu,
             QWidget* parent = nullptr);

    // The active group changed (another group, or new values of the same one).
    void setGroup(const SpeakerGroup& group);
    const SpeakerGroup& group() const { return group_; }

    // The rows in list order, and the row of a room id (null when not listed).
    QList<RoomRow*> rows() const;
    RoomRow* row(const QString& roomID) const { return rows_.value(roomID); }
    // "Alle" is offered only while some room is outside the group.
    bool joinAllEnabled() const;

private:
    void reconcile();

    SpeakerGroup group_;
    RoomsEnvironment environment_;
    PresetMenuFactory presetMenu_;
    QWidget* menu_ = nullptr;
    PressableButton* joinAll_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    QHash<QString, RoomRow*> rows_;
    int roomCount_ = 0;
};
