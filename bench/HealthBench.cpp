// The health check at the largest household size: 32 players in 16 groups of two on loopback
// fake speakers, each with versions and Wi-Fi attributes in the topology.
//
//   quickCheck32/<ms>: one quick check (no update question, no trace; this computer's facts
//     are given, no tool runs), from its start to the published report, with every answer of
//     the speakers held back by <ms> (a timer of the simulator: the other speakers go on
//     answering meanwhile), as a real speaker takes milliseconds to answer. Counters: requests
//     per check, the longest chain of requests one after the other (the topology and household
//     id questions of the first answering speaker, then one speaker's three description
//     requests), the median round trip of one description request at the same latency, "chain
//     x round trip" as the floor the check cannot beat, and the check's time over that floor in
//     percent. The same chain measured link by link: the topology probe of one speaker and one
//     speaker probe, each alone ("chain_ms"), and the check's time over that in percent. The
//     links are measured between the checks, one of each after every check, so that both see
//     the machine in the same state.
//   topology32/<ms>, speakers32/<ms>: the two phases of a check alone: the topology question to
//     all 32 hosts (first answer wins), and the 32 speaker probes at once.
//   refresh32: the household's own full refresh of the same speakers, for comparison.
// At zero latency every answer is ready at once and the phases that send many requests
// together are bound by the processing of both sides (the simulator's servers share four
// threads); with a latency the answers overlap as those of real speakers do.
//   diagnosis32: Diagnosis::issues over 32 speakers with a mix of findings.
#include "PairedHousehold.h"
#include "health/Diagnosis.h"
#include "health/HealthCheck.h"
#include "health/Probe.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"
#include "support/Await.h"
#include "support/HouseholdProbe.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <type_traits>
#include <vector>

using namespace Qt::StringLiterals;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int players = 32;

using bench::host;
using bench::uuid;

// Versions and Wi-Fi attributes in the topology; one player behind on its firmware.
sim::FakeHousehold largestHousehold() {
    sim::FakeHousehold household = bench::pairedHousehold(players);
    for (int n = 0; n < players; ++n) {
        sim::FakeSpeaker& speaker = household.speakers[n];
        speaker.softwareVersion = u"85.0-64200"_s;
        speaker.displayVersion = u"16.1"_s;
        speaker.topologyAttributes = {{u"SoftwareVersion"_s, n == 7 ? u"84.1-1"_s : u"85.0-64200"_s},
                                      {u"WirelessMode"_s, u"1"_s},
                                      {u"ChannelFreq"_s, u"5180"_s}};
    }
    return household;
}

std::unique_ptr<sim::SpeakerSimulator> simulator;

struct Bench {
    TempSettings settings;
    std::unique_ptr<Household> household;

    Bench() {
        settings->setTextList(HouseholdKeys::knownHosts, {host(0)});
        settings->setBool(HouseholdKeys::onboarded, true);
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Holds back every answer the health check asks for by `latency` while it lives.
class Latency {
public:
    explicit Latency(std::chrono::milliseconds latency) {
        if (latency.count() == 0)
            return;
        for (const QString& action :
             {u"GetZoneGroupState"_s, u"GetHouseholdID"_s, u"/xml/device_description.xml"_s})
            simulator->setFault({}, action, sim::Fault::delayed(latency));
    }
    ~Latency() { simulator->clearFaults(); }
    Latency(const Latency&) = delete;
    Latency& operator=(const Latency&) = delete;
};

std::chrono::milliseconds latencyOf(const benchmark::State& state) {
    return std::chrono::milliseconds(state.range(0));
}

// How long the task takes to its end, in microseconds.
template <typename Task> double microsOf(Task task) {
    const auto start = Steady::now();
    if constexpr (std::is_void_v<decltype(test::run(std::move(task)))>)
        test::run(std::move(task));
    else
        benchmark::DoNotOptimize(test::run(std::move(task)));
    return std::chrono::duration<double, std::micro>(Steady::now() - start).count();
}

void quickCheck32(benchmark::State& state) {
    Bench bench;
    HealthCheck::Probes probes;
    probes.mac = [](bool) -> QCoro::Task<MacNetwork> {
        MacNetwork mac;
        mac.interface = u"eth0"_s;
        co_return mac;
    };
    HealthCheck check(bench.household.get(), *bench.settings, probes);
    const Latency latency(latencyOf(state));
    int requests = 0;
    std::vector<double> checks;
    std::vector<double> topologyLinks; // the topology and household id questions to one speaker
    std::vector<double> speakerLinks;  // one speaker probe: three description requests
    for (auto _ : state) {
        simulator->clearRequests();
        checks.push_back(microsOf(check.check(false)));
        requests = static_cast<int>(simulator->requests().size());
        state.PauseTiming();
        topologyLinks.push_back(microsOf(Probe::system(QStringList{host(1)})));
        speakerLinks.push_back(microsOf(Probe::speaker(host(1))));
        state.ResumeTiming();
    }
    if (!check.report() || check.report()->speakers.size() != players)
        state.SkipWithError("the check did not report 32 speakers");
    const int chain = 2 + 3;
    const double roundTrip = median(speakerLinks) / 3;
    const double floor = chain * roundTrip;
    const double links = median(topologyLinks) + median(speakerLinks);
    state.counters["requests"] = requests;
    state.counters["chain"] = chain;
    state.counters["rtt_us"] = roundTrip;
    state.counters["chain_x_rtt_ms"] = floor / 1000;
    state.counters["chain_ms"] = links / 1000;
    state.counters["median_ms"] = median(checks) / 1000;
    state.counters["over_floor_pct"] = (median(checks) / floor - 1) * 100;
    state.counters["over_chain_pct"] = (median(checks) / links - 1) * 100;
}

// The two phases of a check on their own: the topology question to every host, and the 32
// speaker probes at once.
void topology32(benchmark::State& state) {
    QStringList hosts;
    for (int n = 0; n < players; ++n)
        hosts.append(host(n));
    const Latency latency(latencyOf(state));
    for (auto _ : state)
        benchmark::DoNotOptimize(test::run(Probe::system(hosts)));
}

QCoro::Task<int> probeAll() {
    std::vector<QCoro::Task<std::optional<Probe::Answer>>> tasks;
    for (int n = 0; n < players; ++n)
        tasks.push_back(Probe::speaker(host(n)));
    int answered = 0;
    for (auto& task : tasks)
        answered += (co_await std::move(task)) ? 1 : 0;
    co_return answered;
}

void speakers32(benchmark::State& state) {
    const Latency latency(latencyOf(state));
    for (auto _ : state)
        if (test::run(probeAll()) != players)
            state.SkipWithError("a speaker did not answer");
}

void refresh32(benchmark::State& state) {
    Bench bench;
    int requests = 0;
    for (auto _ : state) {
        simulator->clearRequests();
        test::run(bench.household->refresh());
        requests = static_cast<int>(simulator->requests().size());
    }
    state.counters["requests"] = requests;
}

void diagnosis32(benchmark::State& state) {
    QList<HealthSpeaker> speakers;
    for (int n = 0; n < players; ++n) {
        HealthSpeaker s;
        s.id = uuid(n);
        s.name = u"Room %1"_s.arg(n);
        s.host = n % 5 == 0 ? u"192.168.2.%1"_s.arg(n + 10) : u"192.168.1.%1"_s.arg(n + 10);
        s.version = n % 4 == 0 ? u"84.1"_s : u"85.0"_s;
        s.displayVersion = u"16.1"_s;
        s.reachable = n % 9 != 0;
        s.inSystem = n % 18 != 0;
        s.behindExtender = n % 6 == 0;
        s.latency = 0.01 * (n % 30);
        speakers.append(s);
    }
    MacNetwork mac;
    mac.address = u"192.168.1.20"_s;
    mac.netmask = u"255.255.255.0"_s;
    mac.vpn = true;
    mac.doubleNAT = true;
    const HealthUpdate update{u"86.0"_s, u"16.2"_s};
    qsizetype issues = 0;
    for (auto _ : state) {
        const auto result = Diagnosis::issues(speakers, mac, update);
        issues = result.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["issues"] = static_cast<double>(issues);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"studio.quietforge.tamber.*.info=false"_s);
    // Real speakers answer side by side: the fake ones are spread over four threads, so that
    // the answers to a round of 32 requests do not queue up behind one another.
    simulator = std::make_unique<sim::SpeakerSimulator>(largestHousehold(), 4);
    // Per-answer latencies of the speakers, in milliseconds: none, and two a home network sees.
    for (const auto& [name, function] :
         {std::pair{"quickCheck32", &quickCheck32}, std::pair{"topology32", &topology32},
          std::pair{"speakers32", &speakers32}})
        benchmark::RegisterBenchmark(name, function)
            ->Arg(0)
            ->Arg(5)
            ->Arg(20)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("refresh32", refresh32)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("diagnosis32", diagnosis32)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    simulator.reset();
    return 0;
}
