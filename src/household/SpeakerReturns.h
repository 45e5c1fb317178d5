#pragma once

#include "household/SpeakerGroup.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

// Which speakers have come back and need their event subscriptions made anew: a speaker that
// restarted since the last refresh (its BootSeq changed), or one whose host gave no answer to
// an earlier poll and answers again. Either may hold none of its subscriptions while they look
// alive here. Remembers the last BootSeq of each speaker and the hosts that went silent.
class SpeakerReturns {
public:
    // What one applied refresh learnt: the BootSeqs its topology stated (by speaker UUID), and
    // which hosts its polls found silent or answering. Returns the UUIDs of the speakers back
    // among the rooms of `groups` (the groups now shown) and those that restarted.
    QSet<QString> afterRefresh(const QHash<QString, qint64>& bootSeqs, const QSet<QString>& silent,
                               const QSet<QString>& answered, const QList<SpeakerGroup>& groups);

private:
    QHash<QString, qint64> bootSeqs_; // the last BootSeq seen of each speaker
    QSet<QString> silentHosts_;       // hosts that gave no answer in the last poll that asked them
};
