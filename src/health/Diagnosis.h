#pragma once

#include "health/HealthReport.h"

#include <QList>

#include <optional>

// The fixed rules that turn one check's findings into rated, explained issues.
namespace Diagnosis {

// The issues of the rules in their fixed order, then stably sorted by level, highest first.
// Reads nothing but its arguments and the text language.
QList<HealthIssue> issues(const QList<HealthSpeaker>& speakers, const MacNetwork& mac,
                          const std::optional<HealthUpdate>& update);

// The latency from which a connection counts as weak, in seconds.
inline constexpr double weakLatency = 0.25;

} // namespace Diagnosis
