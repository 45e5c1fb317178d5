// A slider drag of 100 volume changes on one room against a speaker that answers every
// SetVolume after 50 ms: the household's coalescing sender next to the naive way of sending
// one request per change at once; the argument is the spacing of the changes in ms (0: all at
// once). Counters: `requests` (SetVolume requests that reached the speaker), `lastHeld` (1 when
// the speaker ended on the last value asked), `lagMs` (from the last change until the speaker
// holds it); the time is from the first change until the speaker holds the last value for good.
#include "core/Clock.h"
#include "household/Household.h"
#include "protocol/Soap.h"

#include "support/Await.h"
#include "support/HouseholdProbe.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int changes = 100;
constexpr auto answerDelay = 50ms;

std::unique_ptr<sim::SpeakerSimulator> simulator;
QString speakerHost;
Room benchRoom;

// When the last change was handed in.
Steady::time_point lastChangeAt;
// When the speaker last took on the value being watched for, in steady-clock nanoseconds.
std::atomic<int> watched{-1};
std::atomic<long long> heldSince{0};

int value(int i) {
    return (i * 37) % 101; // all different, so the last one is only ever sent last
}

// Hands the 100 values to `change`, `spacing` apart (all at once for 0), and waits until
// `idle` says everything sent has been answered.
template <typename Change, typename Idle>
void drag(std::chrono::milliseconds spacing, Change change, Idle idle) {
    if (spacing.count() == 0) {
        for (int i = 0; i < changes; ++i)
            change(value(i));
        lastChangeAt = Steady::now();
    } else {
        QEventLoop loop;
        QTimer ticks;
        int next = 0;
        QObject::connect(&ticks, &QTimer::timeout, &loop, [&] {
            change(value(next++));
            if (next == changes) {
                lastChangeAt = Steady::now();
                loop.quit();
            }
        });
        change(value(next++));
        ticks.start(spacing);
        loop.exec();
    }
    test::waitUntil(idle, 60s);
}

// A run that did not end on the last value counts its time until everything was answered.
void report(benchmark::State& state, Steady::time_point start) {
    const Steady::time_point answered = Steady::now();
    const auto requests = simulator->requests(speakerHost, QStringLiteral("SetVolume")).size();
    const bool held = simulator->speaker(speakerHost).room.volume == value(changes - 1);
    const auto took = held && heldSince.load() != 0
                          ? std::chrono::nanoseconds(heldSince.load()) - start.time_since_epoch()
                          : answered - start;
    state.SetIterationTime(std::chrono::duration<double>(took).count());
    state.counters["lagMs"] += std::chrono::duration<double, std::milli>(start + took - lastChangeAt).count();
    state.counters["requests"] += double(requests);
    state.counters["lastHeld"] += held ? 1.0 : 0.0;
}

void prepare() {
    simulator->update([](sim::FakeHousehold& fake) { fake.speakers[0].room.volume = 50; });
    simulator->clearRequests();
    watched = value(changes - 1);
    heldSince = 0;
}

void coalescing(benchmark::State& state) {
    const std::chrono::milliseconds spacing(state.range(0));
    TempSettings settings;
    Household household(*settings);
    HouseholdProbe probe{household};
    for (const char* name : {"requests", "lastHeld", "lagMs"})
        state.counters[name] = 0;
    for (auto _ : state) {
        prepare();
        const Steady::time_point start = Steady::now();
        drag(
            spacing, [&](int v) { household.setVolume(benchRoom, v); },
            [&] {
                const auto& senders = probe.volumeSenders();
                return std::none_of(senders.cbegin(), senders.cend(),
                                    [](const auto& s) { return s->busy(); });
            });
        report(state, start);
    }
    for (const char* name : {"requests", "lastHeld", "lagMs"})
        state.counters[name] /= double(state.iterations());
}

QCoro::Task<void> sendOne(int v, int* open) {
    // Made before the co_await: g++ 12 mishandles braced lists inside it.
    const SOAP::Arguments args{{QStringLiteral("InstanceID"), QStringLiteral("0")},
                               {QStringLiteral("Channel"), QStringLiteral("Master")},
                               {QStringLiteral("DesiredVolume"), QString::number(v)}};
    const QString action = QStringLiteral("SetVolume");
    try {
        co_await SOAP::call(speakerHost, Service::renderingControl, action, args);
    } catch (...) {
    }
    --*open;
}

void naive(benchmark::State& state) {
    const std::chrono::milliseconds spacing(state.range(0));
    for (const char* name : {"requests", "lastHeld", "lagMs"})
        state.counters[name] = 0;
    for (auto _ : state) {
        prepare();
        int open = 0;
        const Steady::time_point start = Steady::now();
        drag(
            spacing,
            [&](int v) {
                ++open;
                sendOne(v, &open);
            },
            [&] { return open == 0; });
        report(state, start);
    }
    for (const char* name : {"requests", "lastHeld", "lagMs"})
        state.counters[name] /= double(state.iterations());
}

BENCHMARK(coalescing)->Arg(0)->Arg(5)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(naive)->Arg(0)->Arg(5)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    speakerHost = test::loopback(2);
    sim::FakeHousehold fake = sim::FakeHousehold::solo({speakerHost});
    benchRoom = Room{.id = fake.speakers[0].uuid, .name = QStringLiteral("Room"), .host = speakerHost};
    simulator = std::make_unique<sim::SpeakerSimulator>(fake);
    simulator->setFault(speakerHost, QStringLiteral("SetVolume"), sim::Fault::delayed(answerDelay));
    simulator->setChangeHook([](const QString&, Service service) {
        if (service != Service::renderingControl)
            return;
        // Only the moment it took on the watched value for good counts.
        const bool held = simulator->speaker(speakerHost).room.volume == watched.load();
        heldSince = held ? Steady::now().time_since_epoch().count() : 0;
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    simulator.reset();
    return 0;
}
