#include "health/CrashHandler.h"

#include "core/Log.h"
#include "health/Version.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Prepared before any crash: the folder as bytes, the version line, and the stack.
char folderPath[4096];
char versionLine[256];
constexpr int crashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
alignas(16) char alternateStack[64 * 1024];

// Async-signal-safe text helpers: no allocation, no locale, no stdio.
struct Buffer {
    char text[4096 + 64];
    size_t length = 0;
    void add(const char* s) {
        while (*s && length + 1 < sizeof(text))
            text[length++] = *s++;
        text[length] = '\0';
    }
    void addNumber(long long value, int width = 0) {
        char digits[24];
        int n = 0;
        bool negative = value < 0;
        unsigned long long v =
            negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v && n < 23);
        while (n < width && n < 23)
            digits[n++] = '0';
        if (negative)
            add("-");
        while (n > 0) {
            const char c[2] = {digits[--n], '\0'};
            add(c);
        }
    }
};

void writeAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, text, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        text += written;
        length -= static_cast<size_t>(written);
    }
}

const char* signalName(int sig) {
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "?";
    }
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian), without gmtime_r.
void civil(long long days, long long& year, int& month, int& day) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

void onCrash(int sig) {
    const time_t now = ::time(nullptr);
    long long year = 1970;
    int month = 1;
    int day = 1;
    civil(static_cast<long long>(now) / 86400, year, month, day);
    const long long secondsOfDay = static_cast<long long>(now) % 86400;

    Buffer path;
    path.add(folderPath);
    path.add("/Tamber-");
    path.addNumber(year, 4);
    path.add("-");
    path.addNumber(month, 2);
    path.add("-");
    path.addNumber(day, 2);
    path.add("-");
    path.addNumber(secondsOfDay / 3600, 2);
    path.addNumber(secondsOfDay / 60 % 60, 2);
    path.addNumber(secondsOfDay % 60, 2);
    path.add(".crash");

    const int fd = ::open(path.text, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        Buffer head;
        head.add("Tamber crash\nSignal: ");
        head.addNumber(sig);
        head.add(" (");
        head.add(signalName(sig));
        head.add(")\nProcess: ");
        head.addNumber(::getpid());
        head.add("\n");
        head.add(versionLine);
        head.add("Time: ");
        head.addNumber(static_cast<long long>(now));
        head.add(" (seconds since 1970, UTC)\n\nBacktrace:\n");
        writeAll(fd, head.text, head.length);
        void* frames[64];
        const int count = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, count, fd);
        ::fsync(fd);
        ::close(fd);
    }

    // The default action: the process ends by this signal, with a core where one is made.
    struct sigaction fallback;
    std::memset(&fallback, 0, sizeof(fallback));
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(sig, &fallback, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, sig);
    ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(sig);
}

} // namespace

namespace CrashHandler {

QString defaultFolder() {
    return Log::stateFolder() + QStringLiteral("/crashes");
}

bool install(const QString& folder, const QByteArray& version) {
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray bytes = QFile::encodeName(QDir(folder).absolutePath());
    if (bytes.size() >= static_cast<qsizetype>(sizeof(folderPath)))
        return false;
    std::memcpy(folderPath, bytes.constData(), static_cast<size_t>(bytes.size()));
    folderPath[bytes.size()] = '\0';
    const QByteArray line = "Version: " + (version.isEmpty() ? Version::text().toUtf8() : version);
    const size_t length = std::min(static_cast<size_t>(line.size()), sizeof(versionLine) - 2);
    std::memcpy(versionLine, line.constData(), length);
    versionLine[length] = '\n';
    versionLine[length + 1] = '\0';

    // backtrace() loads its unwinder on first use, which allocates: do it now, not in the handler.
    void* warmUp[1];
    ::backtrace(warmUp, 1);

    stack_t stack;
    std::memset(&stack, 0, sizeof(stack));
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof(alternateStack);
    ::sigaltstack(&stack, nullptr);

    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = onCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    bool ok = true;
    for (int sig : crashSignals)
        ok = ::sigaction(sig, &action, nullptr) == 0 && ok;
    return ok;
}

} // namespace CrashHandler
