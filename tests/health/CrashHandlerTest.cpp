#include "health/CrashHandler.h"

#include "health/Support.h"
#include "platform/SettingsStore.h"

#include "protocol/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `crash` in a child process with the handler installed; gives the signal that ended it.
int crashChild(const QString& folder, void (*crash)()) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!CrashHandler::install(folder, "9.9 (42)"))
            ::_exit(3);
        crash();
        ::_exit(4); // not reached
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -WEXITSTATUS(status);
}

// Raised rather than caused: the sanitizer builds would stop at a real null write first.
void segmentationFault() {
    ::raise(SIGSEGV);
}

void floatingPointError() {
    ::raise(SIGFPE);
}

void abortNow() {
    std::abort();
}

TEST(CrashHandler, WritesARecordAndEndsByTheSameSignal) {
    const std::pair<void (*)(), int> cases[] = {
        {segmentationFault, SIGSEGV}, {abortNow, SIGABRT}, {floatingPointError, SIGFPE}};
    for (const auto& [crash, signal] : cases) {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/state/tamber/crashes");
        EXPECT_EQ(crashChild(folder, crash), signal);

        const QStringList records = QDir(folder).entryList({QStringLiteral("*.crash")}, QDir::Files);
        ASSERT_EQ(records.size(), 1) << signal;
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^Tamber-\\d{4}-\\d\\d-\\d\\d-\\d{6}\\.crash$"))
                        .match(records[0])
                        .hasMatch())
            << records[0].toStdString();
        QFile file(folder + QLatin1Char('/') + records[0]);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(text.contains(QStringLiteral("Signal: %1 (").arg(signal))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Version: 9.9 (42)\n")));
        EXPECT_TRUE(text.contains(QStringLiteral("Backtrace:\n")));
        EXPECT_GT(text.section(QStringLiteral("Backtrace:\n"), 1).count(QLatin1Char('\n')), 2);
        EXPECT_TRUE(text.contains(QStringLiteral("CrashHandlerTest"))) << "frames of the crashed program";
        EXPECT_EQ(QFile::permissions(folder) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());

        // The next start offers it as a pending crash.
        SettingsStore settings(dir.path() + QStringLiteral("/settings.json"));
        settings.setNumber(QStringLiteral("lastCrashSeen"), 0); // 2001: every record is newer
        Support::Environment env;
        env.crashFolder = folder;
        Support support(settings, env);
        EXPECT_EQ(support.pendingCrash(), std::optional<QString>(QDir(folder).absoluteFilePath(records[0])));
    }
}

} // namespace
