#include "health/Probe.h"

#include "health/ProbeHttp.h"
#include "protocol/Http.h"
#include "protocol/LeafParser.h"
#include "protocol/Soap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>
#include <coroutine>
#include <memory>
#include <utility>
#include <vector>

namespace Probe {

Environment& environment() {
    static Environment env;
    return env;
}

namespace {

// What the topology children share: the winner, the abort of the others, and the caller
// waiting until a winner is in or every child has ended.
// A usable topology answer before it is read in full: only the winner's ever is.
struct Usable {
    QString host;
    std::optional<QString> household;
    QString state; // the ZoneGroupState document
};

// What one topology reply says: its "ZoneGroupState" field, and whether that lists a device.
struct Reading {
    std::optional<QString> state;
    bool usable = false;
};

struct Race {
    ProbeCancel cancel;
    // The last reply read, with what it says: the speakers of a household mostly send the very
    // same reply, which is then read once.
    QByteArray lastReply;
    Reading lastReading;
    std::optional<Usable> winner;
    // The first usable document, read in full while the household ids are still on their way:
    // the speakers of one household all give the same document, so the winner's is most often
    // this one already.
    std::optional<std::pair<QString, HealthTopologyParser>> firstRead;
    int running = 0;
    bool decided = false;
    std::coroutine_handle<> waiter;

    const Reading& read(const QByteArray& reply) {
        if (reply.isEmpty() || reply != lastReply) {
            const Fields fields = LeafParser::parse(reply);
            const auto text = fields.constFind(QStringLiteral("ZoneGroupState"));
            lastReading =
                text == fields.cend() ? Reading{} : Reading{*text, HealthTopologyParser::hasDevice(*text)};
            lastReply = reply;
        }
        return lastReading;
    }

    void settle() {
        if (decided)
            return;
        decided = true;
        if (waiter) {
            // Resumed from the event loop, never from inside a finishing child.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [handle = waiter] { handle.resume(); }, Qt::QueuedConnection);
            waiter = {};
        }
    }
};

struct Decided {
    Race& race;
    bool await_ready() const noexcept { return race.decided; }
    void await_suspend(std::coroutine_handle<> handle) const { race.waiter = handle; }
    void await_resume() const noexcept {}
};

QCoro::Task<std::optional<Usable>> askOne(QString host, Race* race) {
    ProbeCancel* cancel = &race->cancel;
    const QString stateAction = QStringLiteral("GetZoneGroupState");
    const QString idAction = QStringLiteral("GetHouseholdID");
    const std::optional<QByteArray> reply = co_await ProbeHttp::soapBody(
        host, Service::zoneGroupTopology, stateAction, SOAP::Arguments(), cancel);
    if (!reply)
        co_return std::nullopt;
    // Every answering host is asked for the household id as soon as its topology proves
    // usable; the document is read in full only for the one that wins.
    const Reading reading = race->read(*reply);
    if (race->winner || !reading.usable)
        co_return std::nullopt;
    const QString text = *reading.state;
    // Only one of these requests wins, most often the first to go out; the others are aborted,
    // and their connections with them. They go on connections of their own, so that the kept
    // ones stay free for the speaker probes that follow at once; those close when they end,
    // so that a check leaves no idle connections behind at the speakers.
    const bool first = !race->firstRead;
    QCoro::Task<std::optional<QByteArray>> asking =
        ProbeHttp::soapBody(host, Service::deviceProperties, idAction, SOAP::Arguments(), cancel,
                            first ? ProbeHttp::Connection::kept : ProbeHttp::Connection::own);
    // The request is out (a task runs up to its first wait): the wait for it is free time.
    if (first)
        race->firstRead.emplace(text, HealthTopologyParser::parse(text));
    const std::optional<QByteArray> idReply = co_await std::move(asking);
    // An answer that comes after the race is decided is not read: nobody wants it any more.
    if (cancel->cancelled() || race->winner)
        co_return std::nullopt;
    Usable usable{host, std::nullopt, text};
    if (idReply) {
        const Fields id = LeafParser::parse(*idReply);
        if (const auto household = id.constFind(QStringLiteral("CurrentHouseholdID")); household != id.cend())
            usable.household = *household;
    }
    co_return usable;
}

QCoro::Task<void> child(QString host, std::shared_ptr<Race> race) {
    std::optional<Usable> result = co_await askOne(host, race.get());
    --race->running;
    if (result && !race->winner && !race->cancel.cancelled()) {
        race->winner = std::move(result);
        // The caller goes on first, and sends its next requests before the others are aborted
        // (from the event loop, after it); they end after that.
        race->settle();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [race] { race->cancel.cancel(); }, Qt::QueuedConnection);
    } else if (race->running == 0) {
        race->settle();
    }
}

} // namespace

QCoro::Task<std::optional<System>> system(QStringList hosts) {
    if (hosts.isEmpty())
        co_return std::nullopt;
    auto race = std::make_shared<Race>();
    race->running = static_cast<int>(hosts.size());
    std::vector<QCoro::Task<void>> children;
    children.reserve(static_cast<std::size_t>(hosts.size()));
    for (const QString& host : hosts)
        children.push_back(child(host, race));
    co_await Decided{*race};
    // The children still running are aborted by now: they end on their own, holding the race
    // while they do, and nothing waits for them.
    children.clear();
    if (!race->winner)
        co_return std::nullopt;
    Usable& winner = race->winner.value();
    HealthTopologyParser topology = race->firstRead && race->firstRead->first == winner.state
                                        ? std::move(race->firstRead->second)
                                        : HealthTopologyParser::parse(winner.state);
    co_return System{std::move(winner.host), std::move(winner.household), std::move(topology)};
}

namespace {

// The description request to `host` as the HTTP layer takes it; nothing when the host forms no
// speaker URL: a host text that would turn the URL into another one (a path, a query, a user
// part, another port) is no host, and nothing is sent.
std::optional<CurlSession::Request> descriptionRequest(const QString& host) {
    const auto url = Http::speakerUrl(host, QStringLiteral("/xml/device_description.xml"));
    if (!url)
        return std::nullopt;
    const Environment& env = environment();
    return Http::transfer(QNetworkRequest(*url), QByteArrayLiteral("GET"), QByteArray(), env.speakerIdle,
                          env.speakerTotal);
}

} // namespace

QCoro::Task<std::optional<Answer>> speaker(QString host) {
    // Made once for the three requests.
    const std::optional<CurlSession::Request> request = descriptionRequest(host);
    if (!request)
        co_return std::nullopt;
    Fields fields;
    std::vector<double> samples;
    // A monotonic clock: a step of the wall clock must not make a sample negative or huge.
    QElapsedTimer timer;
    timer.start();
    QCoro::Task<std::optional<HttpResponse>> sending = ProbeHttp::send(*request);
    for (int count = 0; count < 3; ++count) {
        const std::optional<HttpResponse> response = co_await std::move(sending);
        const auto sample = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        const bool answered = response && response->status == 200;
        if (!answered && count == 0)
            co_return std::nullopt;
        // The next request goes out (a task runs up to its first wait) before this answer is
        // read: the requests still follow one another, and reading costs them nothing.
        if (count < 2) {
            timer.start();
            sending = ProbeHttp::send(*request);
        }
        if (!answered)
            continue;
        samples.push_back(sample);
        if (count == 0)
            fields = LeafParser::parse(response->body);
    }
    std::sort(samples.begin(), samples.end());
    const auto field = [&](const char* name) -> std::optional<QString> {
        const auto found = fields.constFind(QLatin1String(name));
        return found == fields.cend() ? std::nullopt : std::optional<QString>(*found);
    };
    co_return Answer{field("modelName"), field("displayVersion"), field("softwareVersion"),
                     samples[samples.size() / 2]};
}

QCoro::Task<std::optional<HealthUpdate>> update(QString host) {
    // Arguments and names are made before the wait: g++ 12 miscompiles braced lists of
    // literals inside a co_await expression.
    SOAP::Arguments args;
    args.append({QStringLiteral("UpdateType"), QStringLiteral("All")});
    args.append({QStringLiteral("CachedOnly"), QStringLiteral("0")});
    args.append({QStringLiteral("Version"), QString()});
    const QString action = QStringLiteral("CheckForUpdate");
    Fields fields;
    try {
        fields = co_await SOAP::call(host, Service::zoneGroupTopology, action, args);
    } catch (...) {
        co_return std::nullopt;
    }
    const auto item = fields.constFind(QStringLiteral("UpdateItem"));
    if (item == fields.cend())
        co_return std::nullopt;
    co_return HealthUpdate::parse(*item);
}

} // namespace Probe
