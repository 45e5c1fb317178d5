// Runs the real Discovery on the system bus named by DBUS_SYSTEM_BUS_ADDRESS and prints every
// host it reports, one a line. With --expect HOST it exits 0 as soon as HOST is reported, and
// 1 when the safety limit (--limit-ms, default 15000) passes first.
#include "protocol/Discovery.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString expect;
    int limitMs = 15000;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--expect"))
            expect = args[i + 1];
        else if (args[i] == QLatin1String("--limit-ms"))
            limitMs = args[i + 1].toInt();
    }

    Discovery discovery([&](const QString& host) {
        std::printf("%s\n", host.toUtf8().constData());
        std::fflush(stdout);
        if (!expect.isEmpty() && host == expect)
            QCoreApplication::exit(0);
    });
    discovery.start();
    QTimer::singleShot(limitMs, &app, [] {
        std::fprintf(stderr, "discovery-probe: limit reached\n");
        QCoreApplication::exit(1);
    });
    return app.exec();
}
