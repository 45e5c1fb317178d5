// Transport control of one group: play or pause, next or previous, seek and the sleep timer.
// Each operation changes the published group first, stamps the change, then sends one
// AVTransport action to the group's coordinator.
#include "core/Delays.h"
#include "core/Log.h"
#include "core/Tasks.h"
#include "core/Texts.h"
#include "household/Household.h"
#include "protocol/Soap.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const SOAP::Arguments instanceArgs{{u"InstanceID"_s, u"0"_s}};

// The speaker's "transition not available" when nothing is loaded to play.
const QString nothingToPlay = u"701"_s;

QString nothingLoadedText() {
    return L(u"Nichts geladen. Starte Musik in Spotify oder der Sonos-App."_s);
}

// `seconds` kept within the track: never below 0, never past a known duration.
double withinTrack(double seconds, const std::optional<double>& duration) {
    double t = std::max(seconds, 0.0);
    if (duration && t > *duration)
        t = *duration;
    return t;
}

QCoro::Task<void> transport(Household::Caller call, QString host, QString action, SOAP::Arguments args) {
    co_await call(std::move(host), Service::avTransport, std::move(action), std::move(args));
}

} // namespace

QString Household::hms(double seconds) {
    // Times sent to a speaker are never negative; a value that is not a number, or beyond
    // any sensible time, would otherwise overflow the conversion below.
    constexpr double longest = 1e15;
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = std::isinf(seconds) && seconds > 0 ? longest : 0;
    const long long whole = std::llround(std::min(seconds, longest)); // halves away from zero
    return QString::asprintf("%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
}

QCoro::Task<void> Household::togglePlay(SpeakerGroup group) {
    QPointer<Household> self(this);
    const bool playing = isPlaying(group.state);
    const QDateTime now = Clock::now();
    changeGroup(
        group.id,
        [&](SpeakerGroup& entry) {
            // The position as shown now: only a group that really plays moves on, one in
            // transition stays where it is.
            double p = entry.position;
            if (entry.state == "PLAYING"_L1)
                p += double(entry.positionAt.msecsTo(now)) / 1000.0;
            entry.position = withinTrack(p, entry.duration);
            entry.positionAt = now;
            entry.state = playing ? u"PAUSED_PLAYBACK"_s : u"PLAYING"_s;
        },
        ChangedValue::state);

    // The request is made first and awaited apart: g++ 12 mishandles literals inside co_await.
    QCoro::Task<void> request =
        playing ? transport(access_.call, group.coordinator().host, u"Pause"_s, instanceArgs)
                : transport(access_.call, group.coordinator().host, u"Play"_s,
                            {{u"InstanceID"_s, u"0"_s}, {u"Speed"_s, u"1"_s}});
    std::exception_ptr failure;
    try {
        co_await std::move(request);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (!failure) {
        setError(std::nullopt);
        co_return;
    }

    // The speaker did not follow: show its real state again, and keep it against older reports.
    const QString shownState = group.state;
    changeGroup(
        group.id, [&shownState](SpeakerGroup& entry) { entry.state = shownState; }, ChangedValue::state);
    setError(speakerErrorCode(failure) == nothingToPlay ? nothingLoadedText() : failureText(failure));
}

QCoro::Task<void> Household::skip(SpeakerGroup group, bool forward) {
    if (!group.canSkip)
        co_return;
    QPointer<Household> self(this);
    // The operation and its task are made apart from the co_await: g++ 12 mishandles both inside it.
    std::function<QCoro::Task<void>()> step = [call = access_.call, host = group.coordinator().host,
                                               action = forward ? u"Next"_s : u"Previous"_s]() {
        return transport(call, host, action, instanceArgs);
    };
    QCoro::Task<void> reported = run(std::move(step));
    co_await std::move(reported);
    if (!self)
        co_return;
    // The new track's title, artwork and length come with a full re-read.
    co_await refreshAfter(Delays::afterSkipRefresh);
}

void Household::seek(const SpeakerGroup& group, double seconds) {
    // A target that is not a number would be stored as the position and make the groups
    // impossible to write; it is no request a speaker could follow either.
    if (!std::isfinite(seconds)) {
        qCWarning(logHousehold) << "seek ignored: the target is not a finite number";
        return;
    }
    const double t = withinTrack(seconds, group.duration);
    changeGroup(
        group.id,
        [t](SpeakerGroup& entry) {
            entry.position = t;
            entry.positionAt = Clock::now();
        },
        ChangedValue::position);
    Tasks::detach(run([call = access_.call, host = group.coordinator().host, target = hms(t)]() {
                      return transport(
                          call, host, u"Seek"_s,
                          {{u"InstanceID"_s, u"0"_s}, {u"Unit"_s, u"REL_TIME"_s}, {u"Target"_s, target}});
                  }),
                  "seek");
}

void Household::setSleepTimer(const SpeakerGroup& group, std::optional<int> minutes) {
    // Worked out as a floating-point number: no menu value can overflow it.
    const std::optional<double> remaining =
        minutes ? std::optional<double>(double(*minutes) * 60.0) : std::nullopt;
    changeGroup(
        group.id,
        [remaining](SpeakerGroup& entry) {
            entry.sleepRemaining = remaining;
            entry.sleepAt = Clock::now();
        },
        ChangedValue::sleepTimer);
    Tasks::detach(run([call = access_.call, host = group.coordinator().host,
                       duration = remaining ? hms(*remaining) : QString()]() {
                      return transport(call, host, u"ConfigureSleepTimer"_s,
                                       {{u"InstanceID"_s, u"0"_s}, {u"NewSleepTimerDuration"_s, duration}});
                  }),
                  "sleep timer");
}
