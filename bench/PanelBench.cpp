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
// for the open panel at device pixel ratio 2; FRAMES_DEBUG=1 lists the first and the slow frames,
// PAINTS_DEBUG=1 the main thread's time per view class and per other event. Counters: the main
// thread's share of one core (main_cpu_percent) and the part of it spent in repaints
// (frames_cpu_percent); first_frame_ms is the first repaint that painted anything.
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
#include "ui/kit/WindowWarmUp.h"
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
#include <map>
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
// or the UpdateRequest (something changed) is handled. With PAINTS_DEBUG set it also sums the
// main thread's time per view class (paint events) and per receiver and event type (the rest).
class FrameTimingApp : public QApplication {
public:
    struct Frame {
        double wallMs;
        double cpuMs;
        bool painted; // a view was painted (an Expose may come before there is anything to paint)
    };
    struct Cost {
        double cpuMs = 0;
        int count = 0;
    };
    using QApplication::QApplication;
    std::vector<Frame> frames;
    std::map<QString, Cost> paints;
    std::map<QString, Cost> others;

    bool notify(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        const bool frame = type == QEvent::UpdateRequest || type == QEvent::Expose;
        if (type == QEvent::Paint)
            ++paintsInFrame_;
        if (debug_ && (type == QEvent::Paint || (!frame && depth_ == 0))) {
            const QString key = QString::fromLatin1(receiver->metaObject()->className()) + u'/' +
                                (type == QEvent::Paint ? receiver->objectName() : QString::number(type));
            ++depth_;
            const double before = mainThreadCpuMillis();
            const bool result = QApplication::notify(receiver, event);
            Cost& cost = (type == QEvent::Paint ? paints : others)[key];
            cost.cpuMs += mainThreadCpuMillis() - before;
            ++cost.count;
            --depth_;
            return result;
        }
        if (depth_ > 0 || !frame)
            return QApplication::notify(receiver, event);
        ++depth_;
        paintsInFrame_ = 0;
        const double cpuBefore = mainThreadCpuMillis();
        QElapsedTimer wall;
        wall.start();
        const bool result = QApplication::notify(receiver, event);
        frames.push_back({wall.nsecsElapsed() / 1e6, mainThreadCpuMillis() - cpuBefore, paintsInFrame_ > 0});
        --depth_;
        return result;
    }

    void clearCosts() {
        paints.clear();
        others.clear();
    }
    void reportCosts(double seconds) const {
        if (!debug_)
            return;
        for (const auto& [key, cost] : others)
            if (cost.cpuMs >= 1)
                qInfo("event %s: %.3f %% (%d)", qPrintable(key), cost.cpuMs / seconds / 10, cost.count);
        for (const auto& [key, cost] : paints)
            qInfo("paint %s: %.3f %% (%d)", qPrintable(key), cost.cpuMs / seconds / 10, cost.count);
    }

private:
    int depth_ = 0;
    int paintsInFrame_ = 0;
    bool debug_ = qEnvironmentVariableIsSet("PAINTS_DEBUG");
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
        // Its window is translucent, as the program's panel window is.
        view->setAttribute(Qt::WA_TranslucentBackground);
        view->setPalette(Ink::palette(Scheme::Dark));
        view->layout()->activate();
        view->resize(view->sizeHint());
        // The program builds the panel at launch, fits and readies its window and opens it
        // later: the launch's idle work runs first.
        WindowWarmUp::prepare(view.get());
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
        frameTiming()->clearCosts();
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
        double framesCpu = 0;
        for (const FrameTimingApp::Frame& frame : frames) {
            worstWall = std::max(worstWall, frame.wallMs);
            worstCpu = std::max(worstCpu, frame.cpuMs);
            framesCpu += frame.cpuMs;
        }
        // The part of the main thread's time spent painting and flushing the window.
        state.counters["frames_cpu_percent"] = framesCpu / (seconds * 1000) * 100;
        state.counters["repaints_per_s"] = static_cast<double>(frames.size()) / seconds;
        const auto firstPainted =
            std::find_if(frames.begin(), frames.end(), [](const auto& f) { return f.painted; });
        state.counters["first_frame_ms"] = firstPainted == frames.end() ? 0 : firstPainted->wallMs;
        state.counters["worst_frame_ms"] = worstWall;
        state.counters["worst_frame_cpu_ms"] = worstCpu;
        state.counters["ratio"] = scene.view->devicePixelRatioF();
        frameTiming()->reportCosts(seconds);
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
