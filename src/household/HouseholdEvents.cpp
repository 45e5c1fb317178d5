#include "core/DecimalInteger.h"
#include "core/Delays.h"
#include "household/Household.h"

#include <QPointer>

#include <algorithm>

using namespace Qt::StringLiterals;

// Above the complexity limit until the household is split into parts with their own state.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void Household::handle(const Events::Target& target, const Fields& fields) {
    const Clock::Instant cutoff = Clock::monotonic() - Delays::recentChange;
    // A value taken from an event is counted as a change: a poll already under way must not
    // put its older reading back.
    const auto took = [this](const ChangeKey& key) { changed(key); };
    const auto groupOf = [this](const QString& coordinator) -> qsizetype {
        for (qsizetype i = 0; i < groups_.size(); ++i)
            if (groups_.at(i).coordinatorID == coordinator)
                return i;
        return -1;
    };

    switch (target.service) {
    case EventService::avTransport: {
        const qsizetype i = groupOf(target.uuid);
        if (i < 0 || fields.isEmpty())
            return;
        const auto state = fields.constFind(u"TransportState"_s);
        const ChangeKey stateKey{ChangedValue::state, groups_.at(i).id};
        if (state != fields.cend() && *state != groups_.at(i).state && !recent(stateKey, cutoff)) {
            groups_[i].state = *state;
            took(stateKey);
            // Observers may change the list; `i` is not used after this.
            emit groupsChanged();
            pickActiveGroup();
        }
        const auto uri = fields.constFind(u"CurrentTrackURI"_s);
        const auto meta = fields.constFind(u"CurrentTrackMetaData"_s);
        if (uri == fields.cend() && meta == fields.cend())
            return;
        const QString track =
            (uri != fields.cend() ? *uri : QString()) + (meta != fields.cend() ? *meta : QString());
        const auto last = lastTrack_.constFind(target.uuid);
        if (last != lastTrack_.cend() && *last == track)
            return;
        lastTrack_.insert(target.uuid, track);
        reload(target.uuid);
        return;
    }
    case EventService::groupRenderingControl: {
        const qsizetype i = groupOf(target.uuid);
        if (i < 0 || fields.isEmpty())
            return;
        SpeakerGroup& group = groups_[i];
        const ChangeKey volumeKey{ChangedValue::volume, group.id};
        const ChangeKey muteKey{ChangedValue::mute, group.id};
        bool changed = false;
        // A volume is taken as written, sign and all; one beyond the range of the model's
        // volume does not read (it would not fit).
        const auto volume = fields.constFind(u"GroupVolume"_s);
        if (volume != fields.cend() && !recent(volumeKey, cutoff))
            if (const auto value = DecimalInteger::readInt(*volume); value && *value != group.volume) {
                group.volume = *value;
                took(volumeKey);
                changed = true;
            }
        const auto mute = fields.constFind(u"GroupMute"_s);
        if (mute != fields.cend() && !recent(muteKey, cutoff) && (*mute == "1"_L1) != group.muted) {
            group.muted = *mute == "1"_L1;
            took(muteKey);
            changed = true;
        }
        // One notice after both values are in place: an observer may change the list.
        if (changed)
            emit groupsChanged();
        return;
    }
    case EventService::renderingControl: {
        const ChangeKey volumeKey{ChangedValue::roomVolume, target.uuid};
        const ChangeKey muteKey{ChangedValue::roomMute, target.uuid};
        const auto at = roomIndex(target.uuid);
        if (!at)
            return;
        Room* room = &groups_[at->first].rooms[at->second];
        bool changed = false;
        const auto volume = fields.constFind(u"Volume"_s);
        if (volume != fields.cend() && !recent(volumeKey, cutoff))
            if (const auto value = DecimalInteger::readInt(*volume); value && *value != room->volume) {
                room->volume = *value;
                took(volumeKey);
                changed = true;
            }
        const auto mute = fields.constFind(u"Mute"_s);
        if (mute != fields.cend() && !recent(muteKey, cutoff) && (*mute == "1"_L1) != room->muted) {
            room->muted = *mute == "1"_L1;
            took(muteKey);
            changed = true;
        }
        if (changed)
            emit groupsChanged();
        return;
    }
    case EventService::zoneGroupTopology: {
        const auto topology = fields.constFind(u"ZoneGroupState"_s);
        if (topology == fields.cend() || (lastTopology_ && *lastTopology_ == *topology))
            return;
        lastTopology_ = *topology;
        // A burst of topology changes leads to one refresh, after the last of them.
        topologyRefresh_ = ++nextTicket_;
        refreshAfterTopologyEvent(topologyRefresh_);
        return;
    }
    }
}

QCoro::Task<void> Household::refreshAfterTopologyEvent(quint64 ticket) {
    QPointer<Household> self(this);
    co_await Clock::sleep(Delays::topologyEventRefresh);
    if (!self || topologyRefresh_ != ticket)
        co_return;
    co_await refresh();
}
