#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

// Best-effort lookups about a speaker's model; neither ever fails.
namespace SpeakerModel {

// The speaker's model name from its device description, or nothing (3.0 s limit).
QCoro::Task<std::optional<QString>> fetch(QString host);

// The symbol image name for a model name; never empty.
QString symbol(const std::optional<QString>& modelName);

} // namespace SpeakerModel
