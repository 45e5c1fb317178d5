#pragma once

#include "household/SpeakerGroup.h"
#include "protocol/LeafParser.h"
#include "protocol/Service.h"
#include "protocol/Soap.h"

#include <QCoro/QCoroTask>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

// The fixed sequence of state reads for one group, straight from its speakers. Each read may
// fail on its own; the fields it would have set then keep the values of the group passed in.
// The polls of one refresh share what they learn of their hosts, so that a host that gave no
// answer is not asked again within the same refresh.
class GroupStatePoll {
public:
    // Which hosts gave no answer (and are not asked again), which answered.
    struct Hosts {
        QSet<QString> silent;
        QSet<QString> answered;
    };

    static QCoro::Task<SpeakerGroup> load(SpeakerGroup group, std::shared_ptr<Hosts> hosts);
    // One EQ setting ("NightMode", "DialogLevel") of the speaker at host; nothing when it
    // cannot be read.
    static QCoro::Task<std::optional<bool>> eq(std::shared_ptr<Hosts> hosts, QString host, QString type);

private:
    static QCoro::Task<std::optional<Fields>> tryCall(std::shared_ptr<Hosts> hosts, QString host,
                                                      Service service, QString action, SOAP::Arguments args);
};
