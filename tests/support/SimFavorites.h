#pragma once

#include "SpeakerSimulator.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace sim {

// What a container favourite puts into the queue: container URI -> its tracks.
using Containers = QHash<QString, QList<QueueItem>>;

// The speaker actions behind starting a favourite and renaming a room, as a real speaker
// answers them:
// - AddURIToQueue puts a container's tracks (one track for any other URI) at the end of the
//   queue, or at DesiredFirstTrackNumberEnqueued, and answers FirstTrackNumberEnqueued;
// - RemoveTrackRangeFromQueue removes a range of the queue;
// - SetAVTransportURI makes a favourite's own URI or the speaker's own queue the source;
// - SetZoneAttributes renames the zone in the topology and keeps the other three values.
// A SetAVTransportURI of another kind (joining a group, "x-rincon:") goes to the handler that
// was installed for it before, and faults with 402 when there is none.
void installFavoritesActions(SpeakerSimulator& simulator, Containers containers = {});

// SetAVTransportURI for a favourite's URI or for the speaker's own queue; nothing for a URI
// of another kind.
std::optional<SoapReply> setTransportSource(ActionContext& context);

// A queue's worth of distinct tracks for a container, titled "<name> 1" ...
QList<QueueItem> albumTracks(const QString& name, int count);

} // namespace sim
