// Round trips of the SOAP call against a loopback fake speaker, next to a bare
// QNetworkAccessManager POST of the same bytes, to show what the call's own layer costs.
#include "protocol/Http.h"
#include "protocol/Soap.h"

#include "support/Await.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkReply>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::unique_ptr<sim::SpeakerSimulator> simulator;
const SOAP::Arguments args{{"InstanceID", "0"}, {"Channel", "Master"}};

void soapCall(benchmark::State& state) {
    const QString host = test::loopback(2);
    simulator->clearRequests();
    for (auto _ : state) {
        const Fields fields = test::run(SOAP::call(host, Service::renderingControl, "GetVolume", args));
        benchmark::DoNotOptimize(fields);
    }
    state.SetItemsProcessed(state.iterations());
}

void rawPost(benchmark::State& state) {
    QNetworkAccessManager manager;
    QNetworkRequest request(
        QUrl("http://" + test::loopback(2) + ":1400/MediaRenderer/RenderingControl/Control"));
    request.setRawHeader("Content-Type", "text/xml; charset=\"utf-8\"");
    request.setRawHeader("SOAPACTION", SOAP::soapAction(Service::renderingControl, "GetVolume"));
    const QByteArray body = SOAP::envelope(Service::renderingControl, "GetVolume", args);
    simulator->clearRequests();
    for (auto _ : state) {
        QNetworkReply* reply = manager.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QByteArray answer = reply->readAll();
        benchmark::DoNotOptimize(answer);
        delete reply;
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(rawPost)->UseRealTime()->MinTime(2.0);
BENCHMARK(soapCall)->UseRealTime()->MinTime(2.0);
BENCHMARK(rawPost)->UseRealTime()->MinTime(2.0);
BENCHMARK(soapCall)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    simulator = std::make_unique<sim::SpeakerSimulator>(sim::FakeHousehold::solo({test::loopback(2)}));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    simulator.reset();
    return 0;
}
