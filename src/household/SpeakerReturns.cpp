#include "household/SpeakerReturns.h"

QSet<QString> SpeakerReturns::afterRefresh(const QHash<QString, qint64>& bootSeqs,
                                           const QSet<QString>& silent, const QSet<QString>& answered,
                                           const QList<SpeakerGroup>& groups) {
    QSet<QString> again;
    for (auto seq = bootSeqs.cbegin(); seq != bootSeqs.cend(); ++seq) {
        const auto known = bootSeqs_.constFind(seq.key());
        if (known != bootSeqs_.cend() && *known != *seq)
            again.insert(seq.key());
        bootSeqs_.insert(seq.key(), *seq);
    }
    for (const SpeakerGroup& group : groups)
        for (const Room& room : group.rooms) {
            if (silent.contains(room.host))
                silentHosts_.insert(room.host);
            else if (answered.contains(room.host) && silentHosts_.remove(room.host))
                again.insert(room.id);
        }
    return again;
}
