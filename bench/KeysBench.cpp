// A volume key pressed while the active group plays, inside the program over a fake display
// (offscreen platform):
// - keyToRequest: from the grabbed press until the SetGroupVolume request is handed to the
//   speaker connection (the request leaving);
// - keyToPaint: from the press until the volume display has been painted.
// Goal: under 5 ms for both.
#include "app/AppDelegate.h"
#include "app/VolumeHUD.h"
#include "household/HouseholdKeys.h"
#include "platform/LoginRegistration.h"
#include "support/FakeKeyGrabber.h"
#include "support/HouseholdProbe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

struct NoLogin : LoginRegistration {
    bool registered() const override { return false; }
    std::optional<QString> setRegistered(bool) override { return u"not here"_s; }
};

struct Scene {
    TempSettings settings;
    NoLogin login;
    test::FakeKeyGrabber grabber;
    std::unique_ptr<AppDelegate> delegate;
    QElapsedTimer clock;
    qint64 sentAt = -1;

    Scene() {
        settings->setBool(HouseholdKeys::onboarded, true);
        Household::SpeakerAccess access;
        access.call = [this](QString, Service, QString action, SOAP::Arguments) -> QCoro::Task<Fields> {
            if (action == u"SetGroupVolume"_s && sentAt < 0)
                sentAt = clock.nsecsElapsed();
            co_return Fields{};
        };
        delegate = std::make_unique<AppDelegate>(*settings, login, access);
        delegate->useKeyGrabber(&grabber);
        delegate->start();
        delegate->hud()->announce = [](const QString&) {};
        SpeakerGroup group{.id = u"G"_s,
                           .coordinatorID = u"A"_s,
                           .rooms = {Room{.id = u"A"_s, .name = u"Küche"_s, .host = u"127.254.254.2"_s}}};
        group.state = u"PLAYING"_s;
        group.volume = 40;
        HouseholdProbe{delegate->household()}.setGroups({group});
    }
};

void volumeKey(benchmark::State& state) {
    Scene scene;
    double request = 0;
    double paint = 0;
    bool down = false;
    for (auto _ : state) {
        scene.sentAt = -1;
        scene.clock.start();
        scene.grabber.press(down ? test::FakeKeyGrabber::lowerCode : test::FakeKeyGrabber::raiseCode);
        // The request leaves from the sender's task; let queued work run until it has.
        while (scene.sentAt < 0)
            QCoreApplication::processEvents();
        request += double(scene.sentAt) / 1e6;
        scene.delegate->hud()->repaint();
        paint += double(scene.clock.nsecsElapsed()) / 1e6;
        down = !down;
    }
    state.counters["keyToRequest_ms"] = request / double(state.iterations());
    state.counters["keyToPaint_ms"] = paint / double(state.iterations());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"studio.quietforge.tamber.*.info=false"_s);
    benchmark::RegisterBenchmark("volumeKey", volumeKey)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
