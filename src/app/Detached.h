#pragma once

#include <QCoro/QCoroTask>

// Starts a task that nobody awaits. Every such start goes through here so that it can be
// found; the task must check, after each of its waits, that what it uses still exists.
namespace Detached {
void start(QCoro::Task<void> task);
} // namespace Detached
