#include "core/Tasks.h"

namespace Tasks::detail {
Q_LOGGING_CATEGORY(logTasks, "studio.quietforge.tamber.tasks")
} // namespace Tasks::detail
