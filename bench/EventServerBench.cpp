// NOTIFY requests through the event server into the handler on the main thread, on loopback,
// each from a sender bound to its own loopback address as a speaker would be.
//
//   BM_NotifyOneAtATime: one request at a time (new connection, request, wait for the handler,
//     read the reply, close); items/s is the rate, and the latency from the last byte sent to
//     the handler's call is given as median and 99th percentile in microseconds.
//   BM_NotifyOffered2000PerSecond: requests started every 500 µs regardless of the previous
//     ones; counts how many were answered and how many reached the handler ("lost").
//   BM_NotifyDuringSilentConnections/<addresses>: one request at a time, as in the first, while
//     another thread holds 64 silent connections from that many addresses and re-opens each one
//     as soon as the server closes it; "answered" is the share of requests that got "200 OK".
#include "protocol/EventServer.h"
#include "support/RawConnections.h"
#include "support/TestNet.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using Steady = std::chrono::steady_clock;

namespace {

const QByteArray body =
    "<e:propertyset xmlns:e=\"urn:schemas-upnp-org:event-1-0\"><e:property><LastChange>"
    "&lt;Event xmlns=&quot;urn:schemas-upnp-org:metadata-1-0/RCS/&quot;&gt;&lt;InstanceID "
    "val=&quot;0&quot;&gt;&lt;Volume channel=&quot;Master&quot; val=&quot;23&quot;/&gt;"
    "&lt;/InstanceID&gt;&lt;/Event&gt;</LastChange></e:property></e:propertyset>";

QByteArray request(quint16 port, int seq) {
    return "NOTIFY /RINCON_000E58A0123401400/MediaRenderer/RenderingControl HTTP/1.1\r\n"
           "HOST: 127.0.0.1:" +
           QByteArray::number(port) +
           "\r\nCONTENT-TYPE: text/xml; charset=\"utf-8\"\r\nNT: upnp:event\r\nNTS: upnp:propchange\r\n"
           "SID: uuid:RINCON_000E58A0123401400_sub0000000001\r\nSEQ: " +
           QByteArray::number(seq) + "\r\nCONTENT-LENGTH: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}

// Sends the whole request, reads the reply to its end; true for "200 OK".
bool sendAndRead(int fd, const QByteArray& bytes, Steady::time_point* sentAt,
                 const std::atomic<long>* waitFor, long target) {
    if (::send(fd, bytes.constData(), bytes.size(), MSG_NOSIGNAL) != bytes.size())
        return false;
    if (sentAt)
        *sentAt = Steady::now();
    if (waitFor)
        while (waitFor->load(std::memory_order_acquire) < target)
            std::this_thread::yield();
    char buffer[256];
    QByteArray reply;
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        reply.append(buffer, n);
    return reply.startsWith("HTTP/1.1 200 OK\r\n");
}

struct Handled {
    std::atomic<long> count{0};
    std::atomic<Steady::rep> lastAt{0};
};

std::unique_ptr<EventServer> makeServer(Handled& handled) {
    return EventServer::create([&handled](const EventServer::Notification& n) {
        benchmark::DoNotOptimize(n.body.size());
        handled.lastAt.store(Steady::now().time_since_epoch().count(), std::memory_order_relaxed);
        handled.count.fetch_add(1, std::memory_order_release);
    });
}

QString senderAddress(int n) {
    return test::loopback(2 + n % 200);
}

void BM_NotifyOneAtATime(benchmark::State& state) {
    Handled handled;
    auto server = makeServer(handled);
    if (!server) {
        state.SkipWithError("no server");
        return;
    }
    const quint16 port = *server->port();
    constexpr int perRound = 2000;
    std::vector<double> latencies;
    long failures = 0;
    long total = 0;
    for (auto _ : state) {
        QEventLoop loop;
        std::thread sender([&] {
            for (int i = 0; i < perRound; ++i) {
                const int fd = test::connectFrom(senderAddress(i), port);
                if (fd < 0) {
                    ++failures;
                    continue;
                }
                const long target = handled.count.load() + 1;
                Steady::time_point sentAt;
                if (!sendAndRead(fd, request(port, i), &sentAt, &handled.count, target))
                    ++failures;
                ::close(fd);
                const auto handledAt = Steady::time_point(Steady::duration(handled.lastAt.load()));
                latencies.push_back(std::chrono::duration<double, std::micro>(handledAt - sentAt).count());
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        sender.join();
        total += perRound;
    }
    std::sort(latencies.begin(), latencies.end());
    state.SetItemsProcessed(total);
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
    state.counters["failures"] = static_cast<double>(failures);
}

void BM_NotifyOffered2000PerSecond(benchmark::State& state) {
    Handled handled;
    auto server = makeServer(handled);
    if (!server) {
        state.SkipWithError("no server");
        return;
    }
    const quint16 port = *server->port();
    constexpr int perRound = 4000; // two seconds' worth
    constexpr auto interval = std::chrono::microseconds(500);
    long sent = 0;
    long answered = 0;
    long lateStarts = 0;
    for (auto _ : state) {
        const long before = handled.count.load();
        QEventLoop loop;
        std::thread sender([&] {
            const auto start = Steady::now();
            for (int i = 0; i < perRound; ++i) {
                const auto due = start + i * interval;
                if (Steady::now() > due + interval)
                    ++lateStarts;
                std::this_thread::sleep_until(due);
                const int fd = test::connectFrom(senderAddress(i), port);
                if (fd < 0)
                    continue;
                ++sent;
                if (sendAndRead(fd, request(port, i), nullptr, nullptr, 0))
                    ++answered;
                ::close(fd);
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        sender.join();
        // Let the handler catch up with what was already answered (bounded).
        QEventLoop drain;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &drain, [&] {
            if (handled.count.load() - before >= perRound)
                drain.quit();
        });
        QTimer::singleShot(2000, &drain, &QEventLoop::quit);
        poll.start(1);
        drain.exec();
    }
    state.SetItemsProcessed(sent);
    state.counters["sent"] = static_cast<double>(sent);
    state.counters["answered"] = static_cast<double>(answered);
    state.counters["lost"] = static_cast<double>(sent - handled.count.load());
    state.counters["late_starts"] = static_cast<double>(lateStarts);
}

void BM_NotifyDuringSilentConnections(benchmark::State& state) {
    Handled handled;
    auto server = makeServer(handled);
    if (!server) {
        state.SkipWithError("no server");
        return;
    }
    const quint16 port = *server->port();
    const int addresses = static_cast<int>(state.range(0));
    QStringList from;
    for (int n = 0; n < addresses; ++n)
        from.append(test::loopback(230 + n));
    auto attacker = std::make_unique<test::SilentConnections>(port, from);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the attacker holds its connections
    constexpr int perRound = 300;
    std::vector<double> latencies;
    long answered = 0;
    long total = 0;
    for (auto _ : state) {
        QEventLoop loop;
        std::thread sender([&] {
            for (int i = 0; i < perRound; ++i) {
                const auto start = Steady::now();
                const int fd = test::connectFrom(senderAddress(i), port);
                if (fd < 0)
                    continue;
                timeval limit{2, 0}; // a refused or dropped request shows as unanswered
                ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
                if (sendAndRead(fd, request(port, i), nullptr, nullptr, 0))
                    ++answered;
                ::close(fd);
                latencies.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        sender.join();
        total += perRound;
    }
    const int reopened = attacker->opened();
    attacker.reset();
    std::sort(latencies.begin(), latencies.end());
    state.SetItemsProcessed(total);
    state.counters["answered"] = static_cast<double>(answered) / static_cast<double>(total);
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
    state.counters["reopened"] = static_cast<double>(reopened);
}

BENCHMARK(BM_NotifyOneAtATime)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_NotifyOffered2000PerSecond)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_NotifyDuringSilentConnections)
    ->Arg(1)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("studio.quietforge.tamber.events.info=false"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
