// The running program against six simulated speakers, under its own X server with a tray
// host and a private session bus:
// - startToTray: from starting the process until its tray icon is on the screen (the icon's
//   window is looked for every millisecond or so, which adds about that much);
// - idleMemory: the resident memory of the program 10 s after its start, idle, holding its
//   event subscriptions (counter `residentMB`);
// - handOver: a second start with no arguments, from its start until it ended, which it does
//   once the first instance has opened the panel.
// Needs Xvfb, trayer, xdotool and dbus-daemon, and a network namespace of its own for the
// loopback speakers: run it as `unshare -n sh -c 'ip link set lo up && ./ShellBench'`.
#include "support/SimGena.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

struct Desktop {
    QTemporaryDir dir;
    QProcess xserver;
    QProcess bus;
    QProcess tray;
    std::unique_ptr<sim::SpeakerSimulator> speakers;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    ~Desktop() {
        for (QProcess* process : {&tray, &bus, &xserver}) {
            process->terminate();
            process->waitForFinished(3000);
        }
    }
};
std::unique_ptr<Desktop> desktop;

// Waits (polling) until `condition` holds; false after `limitMs`.
template <typename F> bool waitFor(F condition, int limitMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs)
            return false;
        QThread::usleep(500);
    }
    return true;
}

QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

bool run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessEnvironment(desktop->environment);
    process.start(program, arguments);
    if (!process.waitForFinished(5000))
        return false;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool trayIconShown() {
    return run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--class"_s, u"^tamber$"_s});
}

void setUpDesktop() {
    desktop = std::make_unique<Desktop>();
    const QString dir = desktop->dir.path();
    desktop->xserver.start(
        u"sh"_s,
        {u"-c"_s,
         u"exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>'%1/display' 2>/dev/null"_s.arg(
             dir)});
    if (!waitFor([&] { return !readFile(dir + u"/display"_s).isEmpty(); }))
        throw std::runtime_error("no X server");
    desktop->environment.insert(u"DISPLAY"_s, u":"_s + readFile(dir + u"/display"_s));
    desktop->bus.start(u"dbus-daemon"_s,
                       {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--print-address=1"_s});
    if (!desktop->bus.waitForReadyRead(5000))
        throw std::runtime_error("no session bus");
    desktop->environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s,
                                QString::fromUtf8(desktop->bus.readLine()).trimmed());
    desktop->environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s,
                                u"unix:path=/nonexistent/tamber-bench-system-bus"_s);
    desktop->tray.setProcessEnvironment(desktop->environment);
    desktop->tray.start(u"trayer"_s, {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s, u"--widthtype"_s,
                                      u"request"_s, u"--height"_s, u"28"_s});
    QString tree;
    if (!waitFor([&] {
            return run(u"xwininfo"_s, {u"-root"_s, u"-tree"_s}, &tree) && tree.contains(u"\"trayer\")"_s);
        }))
        throw std::runtime_error("no tray host");

    QStringList hosts;
    for (int n = 2; n <= 7; ++n)
        hosts.append(test::loopback(n));
    sim::FakeHousehold fake = sim::FakeHousehold::solo(hosts);
    fake.speakers[0].transport.state = u"PLAYING"_s;
    desktop->speakers = std::make_unique<sim::SpeakerSimulator>(fake);

    for (const char* name : {"config/tamber", "state", "cache", "data", "runtime"})
        QDir().mkpath(dir + u'/' + QString::fromLatin1(name));
    QFile::setPermissions(dir + u"/runtime"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile settings(dir + u"/config/tamber/settings.json"_s);
    settings.open(QIODevice::WriteOnly);
    settings.write(QJsonDocument(QJsonObject{{u"onboarded"_s, true},
                                             {u"knownHosts"_s, QJsonArray::fromStringList(hosts)}})
                       .toJson());
    settings.close();
    desktop->environment.insert(u"XDG_CONFIG_HOME"_s, dir + u"/config"_s);
    desktop->environment.insert(u"XDG_STATE_HOME"_s, dir + u"/state"_s);
    desktop->environment.insert(u"XDG_CACHE_HOME"_s, dir + u"/cache"_s);
    desktop->environment.insert(u"XDG_DATA_HOME"_s, dir + u"/data"_s);
    desktop->environment.insert(u"XDG_RUNTIME_DIR"_s, dir + u"/runtime"_s);
    desktop->environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    desktop->environment.remove(u"TAMBER_RENDER"_s);
}

// The program, started and ended around each measurement.
struct Program {
    QProcess process;
    explicit Program(const QStringList& arguments = {}) {
        process.setProcessEnvironment(desktop->environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStringLiteral(TAMBER_PROGRAM), arguments);
        process.waitForStarted();
    }
    ~Program() {
        process.terminate();
        process.waitForFinished(5000);
    }
    double residentMB() const {
        QFile status(u"/proc/%1/status"_s.arg(process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        return -1;
    }
};

void startToTray(benchmark::State& state) {
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        Program program;
        if (!waitFor(&trayIconShown)) {
            state.SkipWithError("no tray icon");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
}

void idleMemory(benchmark::State& state) {
    for (auto _ : state) {
        Program program;
        QThread::sleep(10);
        state.counters["residentMB"] = program.residentMB();
        state.counters["subscriptions"] = double(desktop->speakers->gena().subscriptions().size());
        state.SetIterationTime(10);
    }
}

void handOver(benchmark::State& state) {
    Program first;
    if (!waitFor(&trayIconShown)) {
        state.SkipWithError("no tray icon");
        return;
    }
    for (auto _ : state) {
        // A second start with no URL opens the panel in the first, then ends.
        QElapsedTimer clock;
        clock.start();
        if (!run(QStringLiteral(TAMBER_PROGRAM), {})) {
            state.SkipWithError("the hand-over failed");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        // Closed again for the next round.
        run(QStringLiteral(TAMBER_PROGRAM), {u"tamber://health"_s});
    }
}

BENCHMARK(startToTray)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(idleMemory)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(handOver)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    try {
        setUpDesktop();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ShellBench: %s\n", failure.what());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    desktop.reset();
    return 0;
}
