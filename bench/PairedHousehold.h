#pragma once

// The benchmarks' largest household: players on consecutive loopback hosts, named
// "Room 00", "Room 01" …, in groups of two whose coordinator is the even player. Each
// benchmark adds the state it measures (transport, volumes, versions) on top.
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QString>

namespace bench {

inline QString host(int player) {
    return test::loopback(2 + player);
}

inline QString uuid(int player) {
    return QStringLiteral("RINCON_48A6B8%1E01400").arg(player, 5, 10, QLatin1Char('0'));
}

inline sim::FakeHousehold pairedHousehold(int players) {
    sim::FakeHousehold household;
    for (int n = 0; n < players; ++n) {
        sim::FakeSpeaker speaker;
        speaker.host = host(n);
        speaker.uuid = uuid(n);
        speaker.zoneName = QStringLiteral("Room %1").arg(n, 2, 10, QLatin1Char('0'));
        household.speakers.append(speaker);
    }
    for (int g = 0; g < players / 2; ++g)
        household.groups.append(
            {uuid(2 * g) + QStringLiteral(":%1").arg(100 + g), uuid(2 * g), {uuid(2 * g), uuid(2 * g + 1)}});
    return household;
}

} // namespace bench
