#include "health/IPv4.h"

#include <QStringList>

namespace IPv4 {

namespace {

// An unsigned 32-bit decimal: an optional sign, then digits only, no spaces.
std::optional<std::uint32_t> readPiece(const QString& piece) {
    qsizetype start = 0;
    bool negative = false;
    if (piece.startsWith(QLatin1Char('+')) || piece.startsWith(QLatin1Char('-'))) {
        negative = piece.front() == QLatin1Char('-');
        start = 1;
    }
    if (start >= piece.size())
        return std::nullopt;
    std::uint64_t value = 0;
    for (qsizetype i = start; i < piece.size(); ++i) {
        const QChar c = piece.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c.unicode() - u'0');
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (negative && value != 0)
        return std::nullopt; // "-0" is the only negative text an unsigned reading takes
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::optional<std::uint32_t> parse(const QString& text) {
    std::uint32_t parts[4] = {};
    int count = 0;
    for (const QString& piece : text.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        const auto value = readPiece(piece);
        if (!value)
            continue;
        if (count == 4 || *value > 255)
            return std::nullopt;
        parts[count++] = *value;
    }
    if (count != 4)
        return std::nullopt;
    return (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
}

QString format(std::uint32_t value) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(value >> 24)
        .arg((value >> 16) & 0xFF)
        .arg((value >> 8) & 0xFF)
        .arg(value & 0xFF);
}

} // namespace IPv4
