#include "core/Log.h"
#include "health/CrashHandler.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tamber"));
    Log::install();
    CrashHandler::install();
    QTextStream(stdout) << "Tamber: the speaker side is being built; the user interface is not built yet.\n";
    return 0;
}
