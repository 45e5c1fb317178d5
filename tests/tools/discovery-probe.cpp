// Runs the real Discovery on the system bus named by DBUS_SYSTEM_BUS_ADDRESS and prints every
// host it reports, one a line, until it is ended or its safety limit (--limit-ms, default
// 15000) passes.
#include "protocol/Discovery.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int limitMs = 15000;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--limit-ms"))
            limitMs = args[i + 1].toInt();
    }

    Discovery discovery([](const QString& host) {
        std::printf("%s\n", host.toUtf8().constData());
        std::fflush(stdout);
    });
    discovery.start();
    QTimer::singleShot(limitMs, &app, [] { QCoreApplication::exit(1); });
    return app.exec();
}
