// The panel with a playing group: its paint time at device pixel ratio 1 and 2 while the waves
// run (one frame of the whole panel into an image, the clock moved by one wave frame each time,
// so every frame draws and blurs the waves anew), and the CPU the open panel uses over 10 s of
// real time against simulated speakers (waves at 30 frames a second, the progress row and the
// sleep timer ticking, the refresh loop polling).
// Goals: under 3 % of one core while open and playing; no frame over 8 ms.
//
// Frames of the open panel: every repaint of its window from the moment it is shown, the first
// one (all caches cold) included, timed around the event that carries it (Expose when shown,
// UpdateRequest after a change), wall time and main-thread CPU time. Run with QT_SCALE_FACTOR=2
// for the open panel at device pixel ratio 2; FRAMES_DEBUG=1 lists the first and the slow frames.
#include "core/Clock.h"
#include "core/Tasks.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "support/Await.h"
#include "support/FakeInterfaces.h"
#include "support/HouseholdProbe.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/PanelPresence.h"
#include "ui/panel/PanelView.h"
#include "ui/panel/PlayingWaves.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLayout>
#include <QLoggingCategory>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

double mainThreadCpuMillis() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double processCpuMillis() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// Times every repaint of a window: the backing store paints and flushes while the Expose (shown)
// or the UpdateRequest (something changed) is handled.
class FrameTimingApp : public QApplication {
public:
    struct Frame {
        double wallMs;
        double cpuMs;
    };
    using QApplication::QApplication;
    std::vector<Frame> frames;

    bool notify(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (depth_ > 0 || (type != QEvent::UpdateRequest && type != QEvent::Expose))
            return QApplication::notify(receiver, event);
        ++depth_;
        const double cpuBefore = mainThreadCpuMillis();
        QElapsedTimer wall;
        wall.start();
        const bool result = QApplication::notify(receiver, event);
        frames.push_back({wall.nsecsElapsed() / 1e6, mainThreadCpuMillis() - cpuBefore});
        --depth_;
        return result;
    }

private:
    int depth_ = 0;
};

FrameTimingApp* frameTiming() {
    return static_cast<FrameTimingApp*>(QCoreApplication::instance());
}

// A household over two simulated speakers, the first one playing a track.
struct Scene {
    TempSettings settings;
    FakeInterfaces interfaces;
    std::unique_ptr<sim::SpeakerSimulator> simulator;
    std::unique_ptr<Household> household;
    KeyboardFocus focus;
    PanelPresence presence;
    std::unique_ptr<PanelView> view;

    Scene() {
        sim::FakeHousehold fake =
            sim::FakeHousehold::solo({test::loopback(2), test::loopback(3)}, {u"Wohnzimmer"_s, u"Küche"_s});
        // The speaker itself plays, so that the refresh loop's reads keep the group playing.
        sim::TransportState& transport = fake.speakers[0].transport;
        transport.state = u"PLAYING"_s;
        transport.trackUri = u"x-file-cifs://nas/late-summer.flac"_s;
        transport.trackMetaData = sim::trackMetaData(u"Late Summer"_s, u"The Quiet Rooms"_s, u"Album"_s,
                                                     transport.trackUri, u"0:03:20"_s);
        transport.trackDuration = u"0:03:20"_s;
        transport.relTime = u"0:00:30"_s;
        transport.sleepTimer = u"0:25:00"_s;
        simulator = std::make_unique<sim::SpeakerSimulator>(std::move(fake));
        settings->setTextList(HouseholdKeys::knownHosts, {test::loopback(2)});
        settings->setBool(HouseholdKeys::onboarded, true);
        Household::SpeakerAccess access;
        access.interfaces = interfaces.reader();
        household = std::make_unique<Household>(*settings, std::move(access));
        test::run(household->refresh());
        QList<SpeakerGroup> groups = household->groups();
        SpeakerGroup& group = groups[0];
        group.state = u"PLAYING"_s;
        group.title = u"Late Summer"_s;
        group.artist = u"The Quiet Rooms"_s;
        group.hasTrack = true;
        group.duration = 200;
        group.position = 30;
        group.positionAt = Clock::now();
        group.sleepRemaining = 1500;
        group.sleepAt = Clock::now();
        group.volume = 30;
        HouseholdProbe{*household}.setGroups(groups);
        HouseholdProbe{*household}.setActive(group.coordinatorID);

        PanelEnvironment environment;
        environment.household = household.get();
        environment.focus = &focus;
        environment.presence = &presence;
        environment.store = &*settings;
        view = std::make_unique<PanelView>(environment);
        view->setPalette(Ink::palette(Scheme::Dark));
        view->layout()->activate();
        view->resize(view->sizeHint());
        // The program builds the panel at launch, fits its window and opens it later: the
        // launch's idle work runs first.
        QCoreApplication::processEvents();
        presence.setShown(true, false);
        household->setVisible(true);
        view->show();
    }
    ~Scene() {
        view.reset();
        household.reset();
        simulator.reset();
    }
};

void panelPaint(benchmark::State& state) {
    Clock::useManual();
    {
        Scene scene;
        const double ratio = static_cast<double>(state.range(0));
        QImage image(scene.view->size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        double worst = 0;
        QElapsedTimer timer;
        for (auto _ : state) {
            Clock::advance(PlayingWaves::frame);
            timer.start();
            image.fill(Qt::transparent);
            scene.view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            benchmark::DoNotOptimize(image.constBits());
            worst = std::max(worst, timer.nsecsElapsed() / 1e6);
        }
        state.counters["worst_ms"] = worst;
        state.counters["frames"] = scene.view->waves() ? scene.view->waves()->frames() : 0;
    }
    Clock::advance(60s);
    Clock::useReal();
}

void openPanelCpu(benchmark::State& state) {
    frameTiming()->frames.clear();
    Scene scene;
    for (auto _ : state) {
        const int framesBefore = scene.view->waves()->frames();
        const double before = processCpuMillis();
        const double mainBefore = mainThreadCpuMillis();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(10s, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = processCpuMillis() - before;
        const double mainCpu = mainThreadCpuMillis() - mainBefore;
        const double seconds = wall.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        // The whole process holds the simulated speakers too; the main thread is the panel's.
        state.counters["cpu_percent"] = cpu / (seconds * 1000) * 100;
        state.counters["main_cpu_percent"] = mainCpu / (seconds * 1000) * 100;
        state.counters["fps"] = (scene.view->waves()->frames() - framesBefore) / seconds;
        const std::vector<FrameTimingApp::Frame>& frames = frameTiming()->frames;
        double worstWall = 0;
        double worstCpu = 0;
        for (const FrameTimingApp::Frame& frame : frames) {
            worstWall = std::max(worstWall, frame.wallMs);
            worstCpu = std::max(worstCpu, frame.cpuMs);
        }
        state.counters["repaints_per_s"] = static_cast<double>(frames.size()) / seconds;
        state.counters["first_frame_ms"] = frames.empty() ? 0 : frames.front().wallMs;
        state.counters["worst_frame_ms"] = worstWall;
        state.counters["worst_frame_cpu_ms"] = worstCpu;
        state.counters["ratio"] = scene.view->devicePixelRatioF();
        if (qEnvironmentVariableIsSet("FRAMES_DEBUG"))
            for (size_t i = 0; i < frames.size(); ++i)
                if (frames[i].cpuMs > 3 || i < 5)
                    qInfo("frame %zu: %.2f ms wall, %.2f ms cpu", i, frames[i].wallMs, frames[i].cpuMs);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    FrameTimingApp app(argc, argv);
    QLoggingCategory::setFilterRules(u"studio.quietforge.tamber.*.info=false"_s);
    benchmark::RegisterBenchmark("panelPaint", panelPaint)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("openPanelCpu", openPanelCpu)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
