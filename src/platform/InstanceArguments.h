#pragma once

#include <QStringList>

// What a start may hand to the running instance: empty texts, too long ones and those beyond
// the count are left out, each case logged. Both the hand-over and the instance apply it.
namespace InstanceArguments {

// Longest argument list a hand-over carries; the rest is dropped with a log line.
inline constexpr qsizetype maxCount = 1000;
// Longest single argument; a longer one is dropped with a log line.
inline constexpr qsizetype maxLength = 8192;

QStringList usable(const QStringList& arguments);

} // namespace InstanceArguments
