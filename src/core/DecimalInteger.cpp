#include "core/DecimalInteger.h"

#include <limits>

namespace DecimalInteger {

std::optional<qint64> read(QStringView text, Plus plus) {
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || (plus == Plus::accepted && text.front() == u'+'))) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    // Summed up as a negative number, whose range reaches one further than the positive one,
    // so that the smallest 64-bit value reads too.
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == lowest)
        return std::nullopt;
    return -value;
}

std::optional<int> readInt(QStringView text, Plus plus) {
    const std::optional<qint64> value = read(text, plus);
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*value);
}

} // namespace DecimalInteger
