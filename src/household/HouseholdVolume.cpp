// Volume and mute of a group and of a single room. Volumes travel through one coalescing
// sender per key; mute toggles go out directly.
#include "core/Tasks.h"
#include "household/Household.h"
#include "protocol/Soap.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QCoro::Task<void> groupVolume(Household::Caller call, QString host, int volume) {
    // The snapshot tells the speaker how the members stand to each other, so that the new
    // group volume scales them all alike. No snapshot, no volume.
    // Arguments are made before each co_await: g++ 12 mishandles braced lists inside it.
    const SOAP::Arguments snapshot{{u"InstanceID"_s, u"0"_s}};
    co_await call(host, Service::groupRenderingControl, u"SnapshotGroupVolume"_s, snapshot);
    const SOAP::Arguments set{{u"InstanceID"_s, u"0"_s}, {u"DesiredVolume"_s, QString::number(volume)}};
    co_await call(host, Service::groupRenderingControl, u"SetGroupVolume"_s, set);
}

QCoro::Task<void> roomVolume(Household::Caller call, QString host, int volume) {
    const SOAP::Arguments args{{u"InstanceID"_s, u"0"_s},
                               {u"Channel"_s, u"Master"_s},
                               {u"DesiredVolume"_s, QString::number(volume)}};
    co_await call(std::move(host), Service::renderingControl, u"SetVolume"_s, args);
}

// One request whose reply is not read.
QCoro::Task<void> send(Household::Caller call, QString host, Service service, QString action,
                       SOAP::Arguments args) {
    co_await call(std::move(host), service, std::move(action), std::move(args));
}

QString flag(bool on) {
    return on ? u"1"_s : u"0"_s;
}

// The mean of the rooms' volumes, rounded half away from zero (40 and 31 give 36).
int meanVolume(const QList<Room>& rooms) {
    if (rooms.isEmpty())
        return 0;
    qint64 sum = 0;
    for (const Room& room : rooms)
        sum += room.volume;
    return int(std::lround(double(sum) / double(rooms.size())));
}

} // namespace

void Household::setVolume(const SpeakerGroup& group, int volume) {
    changeGroup(
        group.id, [volume](SpeakerGroup& entry) { entry.volume = volume; }, ChangedValue::volume);
    sender({SentValue::groupVolume, group.id})
        ->send(volume, [call = access_.call, host = group.coordinator().host](int value) {
            return groupVolume(call, host, value);
        });
}

void Household::setVolume(const Room& room, int volume) {
    changeRoom(
        room.id,
        [volume](SpeakerGroup& entry, Room& shown) {
            shown.volume = volume;
            entry.volume = meanVolume(entry.rooms);
        },
        ChangedValue::volume);
    changes_.stamp({ChangedValue::roomVolume, room.id});
    sender({SentValue::roomVolume, room.id})
        ->send(volume,
               [call = access_.call, host = room.host](int value) { return roomVolume(call, host, value); });
}

void Household::toggleMute(const SpeakerGroup& group) {
    const bool mute = !group.muted;
    changeGroup(
        group.id,
        [mute](SpeakerGroup& entry) {
            entry.muted = mute;
            for (Room& room : entry.rooms)
                room.muted = mute;
        },
        ChangedValue::mute);
    for (const Room& room : group.rooms)
        changes_.stamp({ChangedValue::roomMute, room.id});
    Tasks::detach(run([call = access_.call, host = group.coordinator().host, mute]() {
                      return send(call, host, Service::groupRenderingControl, u"SetGroupMute"_s,
                                  {{u"InstanceID"_s, u"0"_s}, {u"DesiredMute"_s, flag(mute)}});
                  }),
                  "group mute");
}

void Household::toggleMute(const Room& room) {
    const bool mute = !room.muted;
    // The group's own flag stays: it follows when the speakers report it.
    changeRoom(
        room.id, [mute](SpeakerGroup&, Room& shown) { shown.muted = mute; }, std::nullopt);
    changes_.stamp({ChangedValue::roomMute, room.id});
    Tasks::detach(run([call = access_.call, host = room.host, mute]() {
                      return send(call, host, Service::renderingControl, u"SetMute"_s,
                                  {{u"InstanceID"_s, u"0"_s},
                                   {u"Channel"_s, u"Master"_s},
                                   {u"DesiredMute"_s, flag(mute)}});
                  }),
                  "room mute");
}
