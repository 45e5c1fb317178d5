#include "core/Delays.h"
#include "household/Household.h"
#include "protocol/Soap.h"

#include <QPointer>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// One membership request to a room's own speaker; the reply's fields are not read.
QCoro::Task<void> sendMembership(Household::Caller call, QString host, QString action, SOAP::Arguments args) {
    co_await call(std::move(host), Service::avTransport, std::move(action), std::move(args));
}

} // namespace

QCoro::Task<void> Household::setMember(Room room, SpeakerGroup group, bool on) {
    QPointer<Household> self(this);
    // A room alone in its group has nowhere to leave to.
    if (!on && group.rooms.size() <= 1)
        co_return;
    if (on) {
        // Already there, as the caller saw it or as shown now: a join would replace a one-room
        // group by an empty one and ask the speaker to join itself.
        const auto shown = std::find_if(groups_.cbegin(), groups_.cend(),
                                        [&](const SpeakerGroup& g) { return g.id == group.id; });
        if (group.coordinatorID == room.id || group.holds(room.id) ||
            (shown != groups_.cend() && shown->holds(room.id)))
            co_return;
    }

    // The local picture, both counters and a new coordinator change together, before the
    // first suspension, so no read that overlaps the request can undo them.
    moveLocally(room.id, on ? std::optional<QString>(group.id) : std::nullopt);
    ++generation_;
    ++pendingChanges_;

    std::optional<QString> newCoordinator;
    if (!on && room.id == group.coordinatorID) {
        const auto next = std::find_if(group.rooms.cbegin(), group.rooms.cend(),
                                       [&](const Room& r) { return r.id != room.id; });
        if (next != group.rooms.cend()) {
            newCoordinator = next->id;
            QList<SpeakerGroup> list = groups_;
            const auto remaining = std::find_if(list.begin(), list.end(),
                                                [&](const SpeakerGroup& g) { return g.id == group.id; });
            if (remaining != list.end()) {
                remaining->coordinatorID = *newCoordinator;
                setGroups(std::move(list));
            }
            setActiveCoordinator(*newCoordinator);
        }
    }

    QString action;
    SOAP::Arguments args{{u"InstanceID"_s, u"0"_s}};
    if (newCoordinator) {
        action = u"DelegateGroupCoordinationTo"_s;
        args.append({u"NewCoordinator"_s, *newCoordinator});
        args.append({u"RejoinGroup"_s, u"0"_s});
    } else if (on) {
        action = u"SetAVTransportURI"_s;
        args.append({u"CurrentURI"_s, u"x-rincon:"_s + group.coordinatorID});
        args.append({u"CurrentURIMetaData"_s, QString()});
    } else {
        action = u"BecomeCoordinatorOfStandaloneGroup"_s;
    }
    // Made apart from the co_await: g++ 12 destroys a lambda's captures twice inside one.
    std::function<QCoro::Task<void>()> request = [call = access_.call, host = room.host, action, args] {
        return sendMembership(call, host, action, args);
    };
    QCoro::Task<void> sending = run(std::move(request));
    co_await std::move(sending);
    if (!self)
        co_return;

    pendingChanges_ = std::max(0, pendingChanges_ - 1);
    if (pendingChanges_ != 0)
        co_return;
    // One re-read after the last change. A change that begins during the wait moves the
    // generation on and brings its own refresh when it ends, so this one steps aside even
    // when that change has already finished by the end of the wait.
    const int noted = generation_;
    co_await Clock::sleep(Delays::membershipRefresh);
    if (!self || pendingChanges_ != 0 || generation_ != noted)
        co_return;
    co_await refresh();
}

QCoro::Task<void> Household::joinAll() {
    const std::optional<SpeakerGroup> active = activeGroup();
    if (!active)
        co_return;
    // All joins start at once, each with the same group value; the last to finish brings
    // the one refresh.
    std::vector<QCoro::Task<void>> joins;
    const QList<Room> rooms = allRooms();
    for (const Room& room : rooms)
        if (!active->holds(room.id))
            joins.push_back(setMember(room, *active, true));
    for (QCoro::Task<void>& join : joins)
        co_await std::move(join);
}

void Household::moveLocally(const QString& roomID, const std::optional<QString>& targetID) {
    QList<SpeakerGroup> list = groups_;
    const auto source =
        std::find_if(list.begin(), list.end(), [&](const SpeakerGroup& g) { return g.holds(roomID); });
    if (source == list.end())
        return;
    const Room moving = *std::find_if(source->rooms.cbegin(), source->rooms.cend(),
                                      [&](const Room& r) { return r.id == roomID; });
    source->rooms.removeIf([&](const Room& r) { return r.id == roomID; });
    if (source->rooms.isEmpty())
        list.erase(source);

    const auto target = targetID ? std::find_if(list.begin(), list.end(),
                                                [&](const SpeakerGroup& g) { return g.id == *targetID; })
                                 : list.end();
    if (target != list.end()) {
        target->rooms.append(moving);
        sortRooms(target->rooms);
    } else {
        // A group of its own that only this household knows, until the next refresh brings the
        // speakers' own.
        list.append(SpeakerGroup{.id = u"solo-"_s + roomID, .coordinatorID = roomID, .rooms = {moving}});
    }
    setGroups(sorted(std::move(list)));
}
