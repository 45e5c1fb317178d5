// A room's equaliser (bass, treble, loudness) and a group's TV sound (night mode, speech
// enhancement). Bass, treble and loudness are not held by the household; TV sound is.
#include "core/DecimalInteger.h"
#include "core/Tasks.h"
#include "household/Household.h"
#include "protocol/Soap.h"

#include <QPointer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const SOAP::Arguments instanceArgs{{u"InstanceID"_s, u"0"_s}};

// A level as the speaker words it: decimal digits with at most one leading sign. Anything
// else, and a value beyond the range of a level's integer, reads as 0.
int level(const Fields& reply, const QString& field) {
    return DecimalInteger::readInt(reply.value(field)).value_or(0);
}

QString flag(bool on) {
    return on ? u"1"_s : u"0"_s;
}

QCoro::Task<void> rendering(Household::Caller call, QString host, QString action, SOAP::Arguments args) {
    co_await call(std::move(host), Service::renderingControl, std::move(action), std::move(args));
}

// Night mode first; a failure ends the operation before the speech request.
QCoro::Task<void> tvSound(Household::Caller call, QString host, std::optional<bool> night,
                          std::optional<bool> speech) {
    const QString setEQ = u"SetEQ"_s;
    if (night) {
        const SOAP::Arguments args{
            {u"InstanceID"_s, u"0"_s}, {u"EQType"_s, u"NightMode"_s}, {u"DesiredValue"_s, flag(*night)}};
        co_await rendering(call, host, setEQ, args);
    }
    if (speech) {
        const SOAP::Arguments args{
            {u"InstanceID"_s, u"0"_s}, {u"EQType"_s, u"DialogLevel"_s}, {u"DesiredValue"_s, flag(*speech)}};
        co_await rendering(call, host, setEQ, args);
    }
}

} // namespace

QCoro::Task<std::optional<Household::RoomSound>> Household::loadSound(Room room) {
    // Strictly one after the other; the first failure ends the read with nothing. The
    // arguments are made before each co_await: g++ 12 mishandles braced lists inside it.
    const SOAP::Arguments channelArgs{{u"InstanceID"_s, u"0"_s}, {u"Channel"_s, u"Master"_s}};
    const QString getBass = u"GetBass"_s;
    const QString getTreble = u"GetTreble"_s;
    const QString getLoudness = u"GetLoudness"_s;
    // The seam is copied: the household may go while the reads are under way.
    const Caller call = access_.call;
    try {
        const Fields bass = co_await call(room.host, Service::renderingControl, getBass, instanceArgs);
        const Fields treble = co_await call(room.host, Service::renderingControl, getTreble, instanceArgs);
        const Fields loudness = co_await call(room.host, Service::renderingControl, getLoudness, channelArgs);
        co_return RoomSound{.bass = level(bass, u"CurrentBass"_s),
                            .treble = level(treble, u"CurrentTreble"_s),
                            .loudness = loudness.value(u"CurrentLoudness"_s) == "1"_L1};
    } catch (...) {
        co_return std::nullopt;
    }
}

void Household::setBass(const Room& room, int value) {
    sender({SentValue::bass, room.id})->send(value, [call = access_.call, host = room.host](int v) {
        return rendering(call, host, u"SetBass"_s,
                         {{u"InstanceID"_s, u"0"_s}, {u"DesiredBass"_s, QString::number(v)}});
    });
}

void Household::setTreble(const Room& room, int value) {
    sender({SentValue::treble, room.id})->send(value, [call = access_.call, host = room.host](int v) {
        return rendering(call, host, u"SetTreble"_s,
                         {{u"InstanceID"_s, u"0"_s}, {u"DesiredTreble"_s, QString::number(v)}});
    });
}

void Household::setLoudness(const Room& room, bool on) {
    Tasks::detach(run([call = access_.call, host = room.host, on]() {
                      return rendering(call, host, u"SetLoudness"_s,
                                       {{u"InstanceID"_s, u"0"_s},
                                        {u"Channel"_s, u"Master"_s},
                                        {u"DesiredLoudness"_s, flag(on)}});
                  }),
                  "loudness");
}

void Household::setTVSound(const SpeakerGroup& group, std::optional<bool> night, std::optional<bool> speech) {
    if (!group.tvHost)
        return;
    changeGroup(
        group.id,
        [night, speech](SpeakerGroup& entry) {
            if (night)
                entry.nightMode = *night;
            if (speech)
                entry.speechBoost = *speech;
        },
        ChangedValue::tvSound);
    Tasks::detach(run([call = access_.call, host = *group.tvHost, night, speech]() {
                      return tvSound(call, host, night, speech);
                  }),
                  "TV sound");
}
