#include "household/ReferenceDate.h"

#include <cmath>

namespace ReferenceDate {

namespace {
// About 300,000 years either side: far beyond any real date, and small enough that the
// milliseconds fit a qint64 and every whole millisecond is exact in a double.
constexpr double limitSeconds = 1e13;
} // namespace

std::optional<double> toSeconds(const QDateTime& date) {
    if (!date.isValid())
        return std::nullopt;
    return double(date.toMSecsSinceEpoch() - offsetMs) / 1000.0;
}

std::optional<QDateTime> fromSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > limitSeconds)
        return std::nullopt;
    const auto ms = static_cast<qint64>(std::llround(seconds * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(ms + offsetMs, Qt::UTC);
}

} // namespace ReferenceDate
