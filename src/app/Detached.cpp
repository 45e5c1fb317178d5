#include "app/Detached.h"

#include "core/Log.h"

#include <exception>

namespace Detached {

namespace {
// Holds the task until it ends, so that a failure nobody waits for still reaches the log.
QCoro::Task<void> own(QCoro::Task<void> task) {
    try {
        co_await std::move(task);
    } catch (const std::exception& failure) {
        qCWarning(logApp) << "A background task failed:" << failure.what();
    } catch (...) {
        qCWarning(logApp) << "A background task failed";
    }
}
} // namespace

void start(QCoro::Task<void> task) {
    // A dropped task keeps running; its frame goes once it has finished.
    own(std::move(task));
}

} // namespace Detached
