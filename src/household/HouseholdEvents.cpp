#include "core/DecimalInteger.h"
#include "core/Delays.h"
#include "core/Tasks.h"
#include "household/Household.h"

using namespace Qt::StringLiterals;

// A value taken from an event is counted as a change: a poll already under way must not put
// its older reading back. A value the user changed within the last 2 s is not taken.
void Household::handle(const Events::Target& target, const Fields& fields) {
    const Clock::Instant cutoff = Clock::monotonic() - Delays::recentChange;
    switch (target.service) {
    case EventService::avTransport:
        handleTransport(target.uuid, fields, cutoff);
        return;
    case EventService::groupRenderingControl:
        handleGroupRendering(target.uuid, fields, cutoff);
        return;
    case EventService::renderingControl:
        handleRoomRendering(target.uuid, fields, cutoff);
        return;
    case EventService::zoneGroupTopology:
        handleTopology(fields);
        return;
    }
}

void Household::handleTransport(const QString& coordinator, const Fields& fields, Clock::Instant cutoff) {
    const qsizetype i = groups_.indexLedBy(coordinator);
    if (i < 0 || fields.isEmpty())
        return;
    const auto state = fields.constFind(u"TransportState"_s);
    const ChangeKey stateKey{ChangedValue::state, groups_.list().at(i).id};
    if (state != fields.cend() && *state != groups_.list().at(i).state &&
        !changes_.recent(stateKey, cutoff)) {
        groups_.at(i).state = *state;
        changes_.count(stateKey);
        // Observers may change the list; `i` is not used after this.
        emit groupsChanged();
        pickActiveGroup();
    }
    // A new track (its URI or metadata) is read with the group's next re-read.
    const auto uri = fields.constFind(u"CurrentTrackURI"_s);
    const auto meta = fields.constFind(u"CurrentTrackMetaData"_s);
    if (uri == fields.cend() && meta == fields.cend())
        return;
    const QString track = fields.value(u"CurrentTrackURI"_s) + fields.value(u"CurrentTrackMetaData"_s);
    const auto last = lastTrack_.constFind(coordinator);
    if (last != lastTrack_.cend() && *last == track)
        return;
    lastTrack_.insert(coordinator, track);
    reload(coordinator);
}

bool Household::takeVolumeAndMute(int& volume, bool& muted, const Fields& fields,
                                  std::pair<QString, ChangeKey> volumeField,
                                  std::pair<QString, ChangeKey> muteField, Clock::Instant cutoff) {
    bool changed = false;
    // A volume is taken as written, sign and all; one beyond the range of the model's volume
    // does not read (it would not fit).
    const auto volumeText = fields.constFind(volumeField.first);
    if (volumeText != fields.cend() && !changes_.recent(volumeField.second, cutoff))
        if (const auto value = DecimalInteger::readInt(*volumeText); value && *value != volume) {
            volume = *value;
            changes_.count(volumeField.second);
            changed = true;
        }
    const auto muteText = fields.constFind(muteField.first);
    if (muteText != fields.cend() && !changes_.recent(muteField.second, cutoff) &&
        (*muteText == "1"_L1) != muted) {
        muted = *muteText == "1"_L1;
        changes_.count(muteField.second);
        changed = true;
    }
    return changed;
}

void Household::handleGroupRendering(const QString& coordinator, const Fields& fields,
                                     Clock::Instant cutoff) {
    const qsizetype i = groups_.indexLedBy(coordinator);
    if (i < 0 || fields.isEmpty())
        return;
    SpeakerGroup& group = groups_.at(i);
    const bool changed = takeVolumeAndMute(group.volume, group.muted, fields,
                                           {u"GroupVolume"_s, {ChangedValue::volume, group.id}},
                                           {u"GroupMute"_s, {ChangedValue::mute, group.id}}, cutoff);
    // One notice after both values are in place: an observer may change the list.
    if (changed)
        emit groupsChanged();
}

void Household::handleRoomRendering(const QString& roomID, const Fields& fields, Clock::Instant cutoff) {
    const auto at = groups_.roomIndex(roomID);
    if (!at)
        return;
    Room& room = groups_.at(at->first).rooms[at->second];
    const bool changed =
        takeVolumeAndMute(room.volume, room.muted, fields, {u"Volume"_s, {ChangedValue::roomVolume, roomID}},
                          {u"Mute"_s, {ChangedValue::roomMute, roomID}}, cutoff);
    if (changed)
        emit groupsChanged();
}

void Household::handleTopology(const Fields& fields) {
    const auto topology = fields.constFind(u"ZoneGroupState"_s);
    if (topology == fields.cend() || (lastTopology_ && *lastTopology_ == *topology))
        return;
    lastTopology_ = *topology;
    // A burst of topology changes leads to one refresh, after the last of them.
    const quint64 ticket = schedule_.issue(RefreshSchedule::Wait::topology);
    Tasks::detach(refreshAfter(Delays::topologyEventRefresh,
                               [this, ticket] {
                                   return schedule_.isNewest(RefreshSchedule::Wait::topology, {}, ticket);
                               }),
                  "refresh after topology events");
}
