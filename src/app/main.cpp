#include "core/Log.h"
#include "platform/DBusHandOver.h"
#include "platform/DBusInstanceChannel.h"
#include "platform/InstanceArguments.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <dlfcn.h>

#include <cstdio>
#include <optional>

// `tamber` is small on purpose: Qt Core and libdbus only. A later start hands its arguments
// to the running instance and ends without ever loading the GUI libraries, whose loading
// and set-up (X connection, plugins, fonts, themes) make up most of a start. Only when no
// instance runs does it load the program proper, the module "tamber-program.so".

namespace {

// Returns this start's exit status when it ends here; nothing when it goes on as the
// program (nobody runs, or there is no session bus).
std::optional<int> handOverEarly(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
        // Options are the toolkit's (-platform, -display ...): it takes them out of the
        // arguments, so such a start takes the ordinary way.
        if (arguments.constLast().startsWith(u'-'))
            return std::nullopt;
    }
    // Only appends to the log: the running program owns the file and its rotation.
    Log::install(Log::FileUse::appendOnly);
    const QStringList usable = InstanceArguments::usable(arguments);
    const QString what = usable.isEmpty() ? QStringLiteral("(reopen)") : usable.join(u' ');
    switch (DBusHandOver::send(QString::fromLatin1(DBusInstanceChannel::serviceName), usable)) {
    case DBusHandOver::Outcome::taken:
        return 0;
    case DBusHandOver::Outcome::noInstance:
    case DBusHandOver::Outcome::noBus:
        return std::nullopt;
    case DBusHandOver::Outcome::noAnswer:
        // The call stays queued for the instance, which may still act on it once it runs again.
        qCWarning(logApp).noquote() << "The running instance did not answer within"
                                    << DBusHandOver::defaultTimeoutMs / 1000
                                    << "s; it may not act on:" << what;
        return 1;
    case DBusHandOver::Outcome::refused:
        qCWarning(logApp).noquote() << "Not handed over:" << what;
        return 1;
    }
    return 1;
}

// The program proper: next to this executable in the build, in the program's library folder
// once installed. Found from the executable's own place rather than through the dynamic
// loader's run path, which a sanitizer's dlopen wrapper does not see.
QByteArray programModule() {
    const QDir here =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absoluteDir();
    const QString candidates[] = {
        here.filePath(QStringLiteral("tamber-program.so")),
        here.filePath(QStringLiteral("../" TAMBER_LIBDIR "/tamber/tamber-program.so")),
    };
    for (const QString& candidate : candidates)
        if (QFileInfo::exists(candidate))
            return QFile::encodeName(candidate);
    return QByteArrayLiteral("tamber-program.so"); // the loader's own search
}

int runProgram(int argc, char** argv) {
    void* program = dlopen(programModule().constData(), RTLD_LAZY | RTLD_LOCAL);
    if (!program) {
        std::fprintf(stderr, "tamber: cannot load the program: %s\n", dlerror());
        return 1;
    }
    using Entry = int (*)(int, char**);
    const auto entry = reinterpret_cast<Entry>(dlsym(program, "tamberProgram"));
    if (!entry) {
        std::fprintf(stderr, "tamber: the program module has no entry: %s\n", dlerror());
        return 1;
    }
    return entry(argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    // Render mode draws the panel into files and quits; it is not part of this build.
    if (qEnvironmentVariableIsSet("TAMBER_RENDER")) {
        std::fputs("tamber: render mode (TAMBER_RENDER) is not built into this program\n", stderr);
        return 2;
    }
    if (const std::optional<int> status = handOverEarly(argc, argv))
        return *status;
    return runProgram(argc, argv);
}
