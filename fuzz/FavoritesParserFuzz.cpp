// Feeds arbitrary text to the favourites reader. The first line is the speaker's host, the
// rest the DIDL-Lite text, so that artwork joining sees odd hosts too.
#include "protocol/FavoritesParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype newline = input.indexOf(QLatin1Char('\n'));
    const QString host = newline < 0 ? QStringLiteral("192.168.1.30") : input.left(newline);
    const QString didl = newline < 0 ? input : input.mid(newline + 1);
    for (const Favorite& favorite : FavoritesParser::parse(didl, host)) {
        // Items without a usable URI never come out; artwork, when present, is absolute.
        if (favorite.uri.isEmpty() || (favorite.artURL && favorite.artURL->host().isEmpty()))
            __builtin_trap();
    }
    return 0;
}
