#include "core/Delays.h"
#include "household/Household.h"
#include "protocol/Soap.h"

#include <QPointer>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The request that moves a room: hand the group over to `newCoordinator` when the leaving room
// leads it, else join `group` (`on`) or stand alone.
std::pair<QString, SOAP::Arguments> membershipRequest(const SpeakerGroup& group, bool on,
                                                      const std::optional<QString>& newCoordinator) {
    SOAP::Arguments args{{u"InstanceID"_s, u"0"_s}};
    if (newCoordinator) {
        args.append({u"NewCoordinator"_s, *newCoordinator});
        args.append({u"RejoinGroup"_s, u"0"_s});
        return {u"DelegateGroupCoordinationTo"_s, args};
    }
    if (on) {
        args.append({u"CurrentURI"_s, u"x-rincon:"_s + group.coordinatorID});
        args.append({u"CurrentURIMetaData"_s, QString()});
        return {u"SetAVTransportURI"_s, args};
    }
    return {u"BecomeCoordinatorOfStandaloneGroup"_s, args};
}

// One membership request to a room's own speaker; the reply's fields are not read.
QCoro::Task<void> membership(Household::Caller call, QString host, QString action, SOAP::Arguments args) {
    co_await call(std::move(host), Service::avTransport, std::move(action), std::move(args));
}

} // namespace

std::optional<QString> Household::passCoordination(const Room& room, const SpeakerGroup& group) {
    const auto next = std::find_if(group.rooms.cbegin(), group.rooms.cend(),
                                   [&](const Room& r) { return r.id != room.id; });
    if (next == group.rooms.cend())
        return std::nullopt;
    const QString nextID = next->id;
    changeGroup(
        group.id, [&nextID](SpeakerGroup& remaining) { remaining.coordinatorID = nextID; }, std::nullopt);
    setActiveCoordinator(nextID);
    return nextID;
}

QCoro::Task<void> Household::setMember(Room room, SpeakerGroup group, bool on) {
    co_await changeMember(std::move(room), std::move(group), on, nullptr);
}

void Household::report(RequestOutcome& outcome) {
    if (const std::optional<std::exception_ptr> due = outcome.due())
        showFailure(*due);
}

QCoro::Task<void> Household::sendMembership(QString host, QString action, SOAP::Arguments args,
                                            std::shared_ptr<RequestOutcome> outcome) {
    if (!outcome) {
        // Made apart from the co_await: g++ 12 destroys a lambda's captures twice inside one.
        std::function<QCoro::Task<void>()> request = [call = access_.call, host, action, args] {
            return membership(call, host, action, args);
        };
        QCoro::Task<void> sending = run(std::move(request));
        co_await std::move(sending);
        co_return;
    }
    // One request of several: its failure shows once all have finished.
    QPointer<Household> self(this);
    outcome->started();
    std::exception_ptr failure;
    try {
        co_await membership(access_.call, std::move(host), std::move(action), std::move(args));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    outcome->finished(failure);
    report(*outcome);
}

QCoro::Task<void> Household::changeMember(Room room, SpeakerGroup group, bool on,
                                          std::shared_ptr<RequestOutcome> outcome) {
    QPointer<Household> self(this);
    // A room alone in its group has nowhere to leave to.
    if (!on && group.rooms.size() <= 1)
        co_return;
    // Already there, as the caller saw it or as shown now: a join would replace a one-room
    // group by an empty one and ask the speaker to join itself.
    if (const qsizetype shown = groups_.indexOf(group.id);
        on && (group.coordinatorID == room.id || group.holds(room.id) ||
               (shown >= 0 && groups_.list().at(shown).holds(room.id))))
        co_return;

    // The local picture, both counters and a new coordinator change together, before the
    // first suspension, so no read that overlaps the request can undo them.
    moveLocally(room.id, on ? std::optional<QString>(group.id) : std::nullopt);
    schedule_.membershipBegan();

    const std::optional<QString> newCoordinator =
        !on && room.id == group.coordinatorID ? passCoordination(room, group) : std::nullopt;
    const auto [action, args] = membershipRequest(group, on, newCoordinator);
    co_await sendMembership(room.host, action, args, outcome);
    if (!self || !schedule_.membershipEnded())
        co_return;
    // One re-read after the last change. A change that begins during the wait moves the
    // generation on and brings its own refresh when it ends, so this one steps aside even
    // when that change has already finished by the end of the wait.
    const int noted = schedule_.generation();
    // Made apart from the co_await: g++ 12 destroys a lambda's captures twice inside one.
    std::function<bool()> settled = [this, noted] { return schedule_.settledSince(noted); };
    QCoro::Task<void> waiting = refreshAfter(Delays::membershipRefresh, std::move(settled));
    co_await std::move(waiting);
}

QCoro::Task<void> Household::joinAll() {
    const std::optional<SpeakerGroup> active = activeGroup();
    if (!active)
        co_return;
    QPointer<Household> self(this);
    // All joins start at once, each with the same group value; the last to finish brings
    // the one refresh. The first failure shows once every request has finished, so that a
    // join that succeeds later does not wipe it.
    const auto outcome = std::make_shared<RequestOutcome>();
    std::vector<QCoro::Task<void>> joins;
    const QList<Room> rooms = allRooms();
    for (const Room& room : rooms)
        if (!active->holds(room.id))
            joins.push_back(changeMember(room, *active, true, outcome));
    outcome->close();
    report(*outcome);
    for (QCoro::Task<void>& join : joins) {
        co_await std::move(join);
        if (!self)
            co_return;
    }
}

void Household::moveLocally(const QString& roomID, const std::optional<QString>& targetID) {
    if (std::optional<QList<SpeakerGroup>> moved = groups_.withRoomMoved(roomID, targetID, roomOrder_))
        setGroups(roomOrder_.sorted(*std::move(moved)));
}
