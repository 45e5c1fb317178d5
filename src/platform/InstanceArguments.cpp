#include "platform/InstanceArguments.h"

#include "core/Log.h"

namespace InstanceArguments {

QStringList usable(const QStringList& arguments) {
    QStringList kept;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (argument.size() > maxLength) {
            qCWarning(logApp) << "Ignoring an argument of" << argument.size() << "characters";
            continue;
        }
        if (kept.size() == maxCount) {
            qCWarning(logApp) << "Ignoring" << arguments.size() - maxCount << "arguments beyond the first"
                              << maxCount;
            break;
        }
        kept.append(argument);
    }
    return kept;
}

} // namespace InstanceArguments
