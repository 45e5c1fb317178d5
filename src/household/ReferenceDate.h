#pragma once

#include <QDateTime>

#include <optional>

// Stored dates are seconds (fractional) since 2001-01-01 00:00:00 UTC, the reference date of
// the stored household documents. QDateTime keeps milliseconds, so a date survives a write
// and a read to the millisecond.
namespace ReferenceDate {

// Milliseconds from the Unix epoch to the reference date.
inline constexpr qint64 offsetMs = 978'307'200'000;

// Nothing for an invalid date.
std::optional<double> toSeconds(const QDateTime& date);

// Nothing for a value that is not finite or lies outside every date a QDateTime can hold
// with millisecond precision.
std::optional<QDateTime> fromSeconds(double seconds);

} // namespace ReferenceDate
