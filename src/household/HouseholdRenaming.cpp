// Renaming: custom names of groups, kept by the household, and room names, kept by the speakers.
#include "household/Household.h"

#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"
#include "protocol/Service.h"
#include "protocol/Soap.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

bool isTrimmedAway(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

// Writes the zone name; the icon, configuration and target room go back as the speaker has them.
QCoro::Task<void> renameZone(Household::Caller call, QString host, QString name) {
    const Fields current =
        co_await call(host, Service::deviceProperties, u"GetZoneAttributes"_s, SOAP::Arguments());
    // (Built apart from the call: g++ 12 rejects a braced list inside co_await.)
    const SOAP::Arguments attributes{{u"DesiredZoneName"_s, name},
                                     {u"DesiredIcon"_s, current.value(u"CurrentIcon"_s)},
                                     {u"DesiredConfiguration"_s, current.value(u"CurrentConfiguration"_s)},
                                     {u"DesiredTargetRoomName"_s, current.value(u"CurrentTargetRoomName"_s)}};
    co_await call(host, Service::deviceProperties, u"SetZoneAttributes"_s, attributes);
}

} // namespace

QString Household::trimmedName(const QString& name) {
    qsizetype from = 0;
    qsizetype to = name.size();
    while (from < to && isTrimmedAway(name[from]))
        ++from;
    while (to > from && isTrimmedAway(name[to - 1]))
        --to;
    return name.mid(from, to - from);
}

QCoro::Task<void> Household::rename(SpeakerGroup group, QString name) {
    if (group.rooms.size() == 1) {
        co_await rename(group.rooms.first(), std::move(name));
        co_return;
    }
    // The name follows the set of rooms, whatever the group's id or coordinator.
    const QString trimmed = trimmedName(name);
    const QString key = group.memberKey();
    if (trimmed.isEmpty())
        groupNames_.remove(key);
    else
        groupNames_.insert(key, trimmed);
    emit groupNamesChanged();
    if (!demo_)
        settings_.setTextMap(HouseholdKeys::groupNames, groupNames_);
}

QCoro::Task<void> Household::rename(Room room, QString name) {
    const QString trimmed = trimmedName(name);
    if (trimmed.isEmpty() || trimmed.normalized(QString::NormalizationForm_C) ==
                                 room.name.normalized(QString::NormalizationForm_C))
        co_return;
    QPointer<Household> self(this);
    // The model keeps the old name until the refresh reads the new one from the topology.
    QCoro::Task<void> sending =
        run([call = access_.call, host = room.host, trimmed] { return renameZone(call, host, trimmed); });
    co_await std::move(sending);
    if (!self)
        co_return;
    co_await refresh();
}
