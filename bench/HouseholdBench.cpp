// The household at the largest size a household reaches: 32 players in 16 groups of two, on
// loopback fake speakers (one group on the TV input, the others playing or stopped tracks).
//
//   refresh32: one full refresh(), from its first request to the published groups (the
//     iteration time, taken when groupsChanged fires); counters: requests sent per refresh
//     (from the simulator's request log), the longest chain of requests sent one after the
//     other (the topology read plus the busiest group's poll; groups are polled in parallel),
//     the median SOAP round trip measured just before in the same run, the two products
//     "requests x round trip" and "chain x round trip", and the whole refresh including
//     storing the snapshot, and the main thread's CPU time per refresh ("main_cpu_ms": the
//     work the refresh puts on the thread that also draws the interface; the simulator
//     answers on a thread of its own and is not counted).
//   soapRoundTrip: one GetVolume call to one of the same speakers.
//   applyGroups32: the merge of 16 polled groups into the published ones, without and with
//     every group and room under the recent-change protection.
//   firstStart32: a first start without stored hosts, where discovery reports the 32 players
//     one after the other (5 ms apart, each report holding every player found so far): from
//     construction until the household has been quiet for 3.5 s. Counters: requests (SOAP and
//     GENA) the speakers received, the time to the first published model that holds every
//     group, the process CPU time of the whole run (simulator included) and the subscriptions
//     the speakers hold that the household does not know of.
//   handle32: the event merge, per event, over a mix of transport (state plus an unchanged
//     track), group volume and room volume events for every group and room; alone, and with
//     an observer that keeps a copy of the groups as a view does (so each change copies).
#include "PairedHousehold.h"
#include "core/Clock.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"
#include "protocol/ServiceBrowser.h"
#include "protocol/Soap.h"
#include "support/Await.h"
#include "support/HouseholdProbe.h"
#include "support/SimGena.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int players = 32;
constexpr int groupCount = 16;

using bench::host;
using bench::uuid;

// Every player at its own volume; one TV group, every third other group playing.
sim::FakeHousehold largestHousehold() {
    sim::FakeHousehold household = bench::pairedHousehold(players);
    for (int n = 0; n < players; ++n)
        household.speakers[n].room.volume = 10 + n;
    for (int g = 0; g < groupCount; ++g) {
        sim::TransportState& transport = household.speakers[2 * g].transport;
        if (g == 0) {
            household.speakers[0].tv = true;
            transport.state = u"PLAYING"_s;
            transport.trackUri = u"x-sonos-htastream:"_s + uuid(0) + u":spdif"_s;
        } else {
            transport.state = g % 3 == 0 ? u"PLAYING"_s : u"STOPPED"_s;
            transport.trackUri = u"x-file-cifs://nas/music/track%1.flac"_s.arg(g);
            transport.trackMetaData = sim::trackMetaData(u"Track %1"_s.arg(g), u"Artist %1"_s.arg(g),
                                                         u"Album %1"_s.arg(g), transport.trackUri);
            transport.trackDuration = u"0:04:12"_s;
            transport.relTime = u"0:01:07"_s;
        }
    }
    return household;
}

std::unique_ptr<sim::SpeakerSimulator> simulator;

// A household over a private settings file that knows the first speaker; model names come
// from a fake, so that only the refresh's own requests reach the speakers.
struct Bench {
    TempSettings settings;
    std::unique_ptr<Household> household;

    Bench() {
        settings->setTextList(HouseholdKeys::knownHosts, {host(0)});
        Household::SpeakerAccess access{
            .topology = {},
            .poll = {},
            .model = [](QString) -> QCoro::Task<std::optional<QString>> { co_return u"Sonos One"_s; },
            .browser = {},
            .call = {},
            .interfaces = {},
        };
        household = std::make_unique<Household>(*settings, access);
        test::run(household->refresh());
    }
};

// CPU time the calling thread has used, in milliseconds.
double threadCpuMillis() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double soapRoundTripMicros(int calls) {
    const SOAP::Arguments args{{u"InstanceID"_s, u"0"_s}, {u"Channel"_s, u"Master"_s}};
    std::vector<double> times;
    for (int i = 0; i < calls; ++i) {
        const auto start = Steady::now();
        benchmark::DoNotOptimize(
            test::run(SOAP::call(host(1), Service::renderingControl, u"GetVolume"_s, args)));
        times.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
    }
    return median(times);
}

// The requests of one refresh: all of them, and the longest run of requests that one group's
// poll sends one after the other, plus the topology read before it.
std::pair<int, int> requestShape(const QList<sim::SimRequest>& log) {
    QHash<QString, int> groupOfHost;
    for (int n = 0; n < players; ++n)
        groupOfHost.insert(host(n), n / 2);
    std::vector<int> perGroup(groupCount, 0);
    int topology = 0;
    int soap = 0;
    for (const sim::SimRequest& request : log) {
        if (!request.service)
            continue;
        ++soap;
        if (request.action == u"GetZoneGroupState"_s)
            ++topology;
        else
            ++perGroup[static_cast<std::size_t>(groupOfHost.value(request.host))];
    }
    return {soap, topology + *std::max_element(perGroup.cbegin(), perGroup.cend())};
}

void refresh32(benchmark::State& state) {
    Bench bench;
    Household& h = *bench.household;
    const double roundTrip = soapRoundTripMicros(200);
    Steady::time_point published;
    QObject watch; // ends the connection before `published` goes
    QObject::connect(&h, &Household::groupsChanged, &watch, [&] { published = Steady::now(); });
    std::vector<double> whole;
    std::vector<double> mainCpu;
    int requests = 0;
    int chain = 0;
    for (auto _ : state) {
        simulator->clearRequests();
        const double cpuBefore = threadCpuMillis();
        const auto start = Steady::now();
        test::run(h.refresh());
        const auto end = Steady::now();
        mainCpu.push_back(threadCpuMillis() - cpuBefore);
        state.SetIterationTime(std::chrono::duration<double>(published - start).count());
        whole.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        std::tie(requests, chain) = requestShape(simulator->requests());
    }
    if (h.groups().size() != groupCount)
        state.SkipWithError("the refresh did not publish 16 groups");
    state.counters["requests"] = requests;
    state.counters["chain"] = chain;
    state.counters["rtt_us"] = roundTrip;
    state.counters["requests_x_rtt_ms"] = requests * roundTrip / 1000;
    state.counters["chain_x_rtt_ms"] = chain * roundTrip / 1000;
    state.counters["whole_ms"] = median(whole);
    state.counters["main_cpu_ms"] = median(mainCpu);
}

void soapRoundTrip(benchmark::State& state) {
    const SOAP::Arguments args{{u"InstanceID"_s, u"0"_s}, {u"Channel"_s, u"Master"_s}};
    for (auto _ : state)
        benchmark::DoNotOptimize(
            test::run(SOAP::call(host(1), Service::renderingControl, u"GetVolume"_s, args)));
}

void applyGroups32(benchmark::State& state) {
    Bench bench;
    HouseholdProbe probe{*bench.household};
    const QList<SpeakerGroup> polled = bench.household->groups();
    if (state.range(0) != 0) {
        Clock::useManual();
        for (const SpeakerGroup& group : polled) {
            for (ChangedValue value : {ChangedValue::state, ChangedValue::volume, ChangedValue::mute})
                probe.recentlyChanged().insert({value, group.id}, Clock::monotonic());
            for (const Room& room : group.rooms)
                for (ChangedValue value : {ChangedValue::roomVolume, ChangedValue::roomMute})
                    probe.recentlyChanged().insert({value, room.id}, Clock::monotonic());
        }
    }
    for (auto _ : state)
        probe.apply(polled);
    Clock::useReal();
    state.SetLabel(state.range(0) != 0 ? "all protected" : "none protected");
}

// Reports the players as avahi does: the whole result set again at each new find.
class GrowingBrowser : public ServiceBrowser {
public:
    void setResultsChangedHandler(ResultsChanged handler) override { handler_ = std::move(handler); }
    void start(const QString& type, const QString& domain) override {
        for (int n = 0; n < players; ++n)
            QTimer::singleShot(5 * n, &context_, [this, type, domain, n] {
                ServiceResult result{u"player%1"_s.arg(n), type, domain, 1,
                                     TxtRecord{{"location", "http://" + host(n).toUtf8() +
                                                                ":1400/xml/device_description.xml"}}};
                results_.append(result);
                handler_(results_);
            });
    }

private:
    ResultsChanged handler_;
    QList<ServiceResult> results_;
    QObject context_;
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void firstStart32(benchmark::State& state) {
    std::vector<double> firstComplete, cpu;
    int requests = 0;
    int orphans = 0;
    for (auto _ : state) {
        simulator->gena().forgetAll();
        simulator->clearRequests();
        TempSettings settings;
        settings->setBool(HouseholdKeys::onboarded, true);
        Household::SpeakerAccess access{
            .topology = {},
            .poll = {},
            .model = [](QString) -> QCoro::Task<std::optional<QString>> { co_return u"Sonos One"_s; },
            .browser = [] { return std::make_unique<GrowingBrowser>(); },
            .call = {},
            .interfaces = {},
        };
        const double cpuStart = cpuSeconds();
        const auto start = Steady::now();
        std::optional<Steady::time_point> complete;
        Household h(*settings, access);
        QObject watch;
        QObject::connect(&h, &Household::groupsChanged, &watch, [&] {
            qsizetype rooms = 0;
            for (const SpeakerGroup& group : h.groups())
                rooms += group.rooms.size();
            if (!complete && h.groups().size() == groupCount && rooms == players)
                complete = Steady::now();
        });
        // Quiet: no request reached the speakers for 3.5 s (looked at every 100 ms, so that the
        // looking costs little of the CPU measured).
        qsizetype seen = -1;
        auto lastChange = Steady::now();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            const qsizetype now = simulator->requests().size();
            if (now != seen) {
                seen = now;
                lastChange = Steady::now();
            } else if (Steady::now() - lastChange > std::chrono::milliseconds(3500)) {
                loop.quit();
            }
        });
        poll.start(100);
        loop.exec();
        cpu.push_back(cpuSeconds() - cpuStart);
        state.SetIterationTime(std::chrono::duration<double>(lastChange - start).count());
        firstComplete.push_back(
            complete ? std::chrono::duration<double, std::milli>(*complete - start).count() : -1);
        requests = int(simulator->requests().size());
        orphans = int(simulator->gena().subscriptions().size()) - int(h.events().active().size());
    }
    state.counters["requests"] = requests;
    state.counters["first_complete_ms"] = median(firstComplete);
    state.counters["cpu_s"] = median(cpu);
    state.counters["orphaned_subscriptions"] = orphans;
}

void handle32(benchmark::State& state) {
    Bench bench;
    Household& h = *bench.household;
    HouseholdProbe probe{h};
    // Manual time: the first track event of each coordinator schedules a re-poll that never
    // comes due here.
    Clock::useManual();
    struct Event {
        Events::Target target;
        Fields fields;
    };
    std::vector<Event> rounds[2];
    for (int round = 0; round < 2; ++round) {
        for (const SpeakerGroup& group : h.groups()) {
            Fields transport{
                {u"TransportState"_s, round == 0 ? u"PLAYING"_s : u"PAUSED_PLAYBACK"_s},
                {u"CurrentTrackURI"_s, u"x-file-cifs://nas/music/"_s + group.id},
                {u"CurrentTrackMetaData"_s,
                 sim::trackMetaData(u"Title"_s, u"Artist"_s, u"Album"_s, u"x-file-cifs://nas/music/"_s)}};
            rounds[round].push_back(
                {{group.coordinatorID, group.coordinator().host, EventService::avTransport}, transport});
            rounds[round].push_back(
                {{group.coordinatorID, group.coordinator().host, EventService::groupRenderingControl},
                 {{u"GroupVolume"_s, QString::number(20 + round)}, {u"GroupMute"_s, u"0"_s}}});
            for (const Room& room : group.rooms)
                rounds[round].push_back({{room.id, room.host, EventService::renderingControl},
                                         {{u"Volume"_s, QString::number(30 + round)},
                                          {u"Mute"_s, round == 0 ? u"0"_s : u"1"_s}}});
        }
    }
    for (const Event& event : rounds[0]) // remembers every coordinator's track
        probe.handle(event.target, event.fields);
    // With an observer that keeps a copy of the groups, as a view does, every change that
    // follows copies the list before writing to it.
    QList<SpeakerGroup> shown;
    QObject view; // ends the connection before `shown` goes
    if (state.range(0) != 0)
        QObject::connect(&h, &Household::groupsChanged, &view, [&] { shown = h.groups(); });
    int round = 1;
    for (auto _ : state) {
        for (const Event& event : rounds[round])
            probe.handle(event.target, event.fields);
        round = 1 - round;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(rounds[0].size()));
    // Seconds per event (shown with an SI prefix: "12u" is 12 µs).
    state.counters["per_event"] =
        benchmark::Counter(static_cast<double>(rounds[0].size()),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetLabel(state.range(0) != 0 ? "a view keeps a copy" : "no observer");
    Clock::useReal();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"studio.quietforge.tamber.*.info=false"_s);
    simulator = std::make_unique<sim::SpeakerSimulator>(largestHousehold());
    benchmark::RegisterBenchmark("soapRoundTrip", soapRoundTrip)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("refresh32", refresh32)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("applyGroups32", applyGroups32)
        ->Arg(0)
        ->Arg(1)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("firstStart32", firstStart32)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("handle32", handle32)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    simulator.reset();
    return 0;
}
