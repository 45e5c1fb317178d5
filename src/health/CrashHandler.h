#pragma once

#include <QByteArray>
#include <QString>

// Crash records that the program writes itself. On SIGSEGV, SIGBUS, SIGILL, SIGFPE or SIGABRT
// the handler writes "Tamber-YYYY-MM-DD-HHMMSS.crash" (UTC) with the signal, the process id,
// the version and a backtrace into the crash folder, then lets the signal's default action
// run (so a core dump is still made where the system makes one). Inside the handler only
// async-signal-safe calls are made; everything else is prepared by install().
namespace CrashHandler {

// $XDG_STATE_HOME/tamber/crashes
QString defaultFolder();

// Creates the folder (mode 0700) and installs the handler on an alternate stack, so that a
// stack overflow is recorded too. False when the folder cannot be made or a handler not set.
bool install(const QString& folder = defaultFolder(), const QByteArray& version = QByteArray());

} // namespace CrashHandler
