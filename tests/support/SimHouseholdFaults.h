#pragma once

#include "SpeakerSimulator.h"

#include <QString>

// Faults of whole speakers and households, beside the per-action faults of `Fault`.
namespace sim {

// A restart of the speaker at `host`: it forgets every subscription it held and raises the
// BootSeq that the topology states for it.
void reboot(SpeakerSimulator& simulator, const QString& host);

// While `hung`, the speaker at `host` accepts every control and GENA request and never
// answers; afterwards it answers again.
void setHung(SpeakerSimulator& simulator, const QString& host, bool hung);

// While `refusing`, the speaker at `host` answers every SUBSCRIBE (new or renewal) with 403
// and keeps nothing; afterwards it grants them again.
void setRefusingSubscriptions(SpeakerSimulator& simulator, const QString& host, bool refusing);

// Every speaker answers GetZoneGroupState with the UPnP failure 501 while the household holds
// more than `largest` speakers, as speakers do beyond the household size up to which they
// still send the topology as a control reply. The topology events are sent as before.
void limitTopologyReply(SpeakerSimulator& simulator, int largest);

} // namespace sim
