// Round trips of the SOAP call (GetVolume) against a lean loopback fake speaker that answers
// every request with the same canned reply from a thread of its own, so that the figures show
// the client's cost rather than the simulator's. Two kinds of speaker: one that keeps its
// connections alive and one that closes each after its answer, as real speakers often do.
// Arguments: calls in flight at once (1 or 8), and 1 for the closing speaker. Counters:
// items_per_second (calls per second) and p50_us (the median time of one call).
// A bare QNetworkAccessManager POST of the same bytes stands beside it as the Qt floor.
#include "protocol/Soap.h"

#include "support/Await.h"
#include "support/TestNet.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Steady = std::chrono::steady_clock;

namespace {

const SOAP::Arguments args{{QStringLiteral("InstanceID"), QStringLiteral("0")},
                           {QStringLiteral("Channel"), QStringLiteral("Master")}};

// A fake speaker at `host`:1400 on a thread of its own: reads whole requests (head and
// Content-Length body) and answers each with one canned GetVolume reply.
class LeanSpeaker {
public:
    LeanSpeaker(const QString& host, bool closeEach) : closeEach_(closeEach) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(1400);
        ::inet_pton(AF_INET, host.toLatin1().constData(), &address.sin_addr);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 128) != 0)
            throw std::runtime_error("lean speaker: cannot listen on " + host.toStdString());
        const QByteArray body =
            "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
            "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>"
            "<u:GetVolumeResponse xmlns:u=\"urn:schemas-upnp-org:service:RenderingControl:1\">"
            "<CurrentVolume>18</CurrentVolume></u:GetVolumeResponse></s:Body></s:Envelope>";
        reply_ = "HTTP/1.1 200 OK\r\nCONTENT-TYPE: text/xml; charset=\"utf-8\"\r\nContent-Length: " +
                 QByteArray::number(body.size()) +
                 (closeEach ? "\r\nConnection: close" : "\r\nConnection: keep-alive") +
                 "\r\nServer: Linux UPnP/1.0 lean-speaker\r\n\r\n" + body;
        ::pipe2(wake_, O_CLOEXEC);
        thread_ = std::thread([this] { serve(); });
    }
    ~LeanSpeaker() {
        stop_ = true;
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
        thread_.join();
        ::close(listener_);
        ::close(wake_[0]);
        ::close(wake_[1]);
    }
    LeanSpeaker(const LeanSpeaker&) = delete;
    LeanSpeaker& operator=(const LeanSpeaker&) = delete;

private:
    struct Client {
        int fd;
        std::string buffer;
    };

    void serve() {
        std::vector<Client> clients;
        std::vector<pollfd> fds;
        char chunk[65536];
        while (!stop_) {
            fds.assign({{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}});
            for (const Client& client : clients)
                fds.push_back({client.fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), -1) < 0)
                continue;
            if (fds[1].revents & POLLIN) {
                const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) {
                    const int on = 1;
                    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                    clients.push_back({fd, {}});
                }
            }
            for (size_t i = 2; i < fds.size(); ++i) {
                if (!fds[i].revents)
                    continue;
                Client& client = clients[i - 2];
                const ssize_t got = ::read(client.fd, chunk, sizeof chunk);
                bool drop = got <= 0;
                if (got > 0)
                    client.buffer.append(chunk, size_t(got));
                while (!drop) {
                    const size_t headEnd = client.buffer.find("\r\n\r\n");
                    if (headEnd == std::string::npos)
                        break;
                    size_t length = 0;
                    const size_t field = client.buffer.find("Content-Length:");
                    if (field != std::string::npos && field < headEnd)
                        length = std::strtoul(client.buffer.c_str() + field + 15, nullptr, 10);
                    if (client.buffer.size() < headEnd + 4 + length)
                        break;
                    client.buffer.erase(0, headEnd + 4 + length);
                    [[maybe_unused]] const auto sent = ::write(client.fd, reply_.constData(), reply_.size());
                    drop = closeEach_;
                }
                if (drop) {
                    ::close(client.fd);
                    client.fd = -1;
                }
            }
            clients.erase(
                std::remove_if(clients.begin(), clients.end(), [](const Client& c) { return c.fd < 0; }),
                clients.end());
        }
        for (const Client& client : clients)
            ::close(client.fd);
    }

    bool closeEach_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    QByteArray reply_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Two speakers: one keeping its connections alive, one closing each.
std::unique_ptr<LeanSpeaker> keepingSpeaker;
std::unique_ptr<LeanSpeaker> closingSpeaker;

QString hostOf(bool closing) {
    return test::loopback(closing ? 3 : 2);
}

// One of `inFlight` loops: calls until `remaining` runs out, noting each call's time.
QCoro::Task<void> caller(QString host, int& remaining, std::vector<double>& micros, int& failures) {
    while (remaining > 0) {
        --remaining;
        const auto start = Steady::now();
        try {
            const Fields fields =
                co_await SOAP::call(host, Service::renderingControl, QStringLiteral("GetVolume"), args);
            if (fields.value(QStringLiteral("CurrentVolume")) != QLatin1String("18"))
                ++failures;
        } catch (const std::exception&) {
            ++failures;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
    }
}

QCoro::Task<void> batch(QString host, int calls, int inFlight, std::vector<double>& micros, int& failures) {
    int remaining = calls;
    std::vector<QCoro::Task<void>> callers;
    for (int i = 0; i < inFlight; ++i)
        callers.push_back(caller(host, remaining, micros, failures));
    for (auto& task : callers)
        co_await std::move(task);
}

void report(benchmark::State& state, std::vector<double>& micros, int failures) {
    std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
    state.counters["p50_us"] = micros.empty() ? 0 : micros[micros.size() / 2];
    state.counters["failures"] = failures;
    state.SetItemsProcessed(int64_t(micros.size()));
}

void soapCall(benchmark::State& state) {
    const int inFlight = int(state.range(0));
    const QString host = hostOf(state.range(1) != 0);
    constexpr int callsPerRound = 400;
    std::vector<double> micros;
    micros.reserve(1 << 20);
    int failures = 0;
    for (auto _ : state)
        test::run(batch(host, callsPerRound, inFlight, micros, failures));
    report(state, micros, failures);
}

void rawPost(benchmark::State& state) {
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QLatin1String("http://") + hostOf(state.range(0) != 0) +
                                 QLatin1String(":1400/MediaRenderer/RenderingControl/Control")));
    request.setRawHeader("Content-Type", "text/xml; charset=\"utf-8\"");
    request.setRawHeader("SOAPACTION",
                         SOAP::soapAction(Service::renderingControl, QStringLiteral("GetVolume")));
    const QByteArray body = SOAP::envelope(Service::renderingControl, QStringLiteral("GetVolume"), args);
    std::vector<double> micros;
    int failures = 0;
    for (auto _ : state) {
        const auto start = Steady::now();
        QNetworkReply* reply = manager.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QByteArray answer = reply->readAll();
        failures += answer.contains("<CurrentVolume>18<") ? 0 : 1;
        delete reply;
        micros.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
    }
    report(state, micros, failures);
}

BENCHMARK(soapCall)
    ->ArgNames({"inFlight", "closing"})
    ->ArgsProduct({{1, 8}, {0, 1}})
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(rawPost)->ArgNames({"closing"})->Arg(0)->Arg(1)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    keepingSpeaker = std::make_unique<LeanSpeaker>(hostOf(false), false);
    closingSpeaker = std::make_unique<LeanSpeaker>(hostOf(true), true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    keepingSpeaker.reset();
    closingSpeaker.reset();
    return 0;
}
