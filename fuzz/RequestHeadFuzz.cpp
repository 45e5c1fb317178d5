// Feeds arbitrary bytes to the event server's request reading. Besides crashes and sanitizer
// reports it checks that reading the bytes in pieces agrees with reading them at once, and the
// basic promises of the result (body length, trimmed values, lower-case names).
#include "protocol/HttpRequestReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte chooses the piece sizes of the incremental reading.
    const int step = 1 + data[0] % 16;
    const QByteArrayView input(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    const auto whole = HttpRequestReader::parse(input);
    if (whole) {
        check(whole->body.size() == whole->head.contentLength);
        check(!whole->head.method.isEmpty() && !whole->head.path.isEmpty());
        for (auto it = whole->head.headers.cbegin(); it != whole->head.headers.cend(); ++it) {
            check(it.key() == it.key().toLower());
            check(!it.key().contains(QLatin1Char(':')));
            check(it->isEmpty() || (!isBlank(it->front()) && !isBlank(it->back())));
        }
    }

    HttpRequestReader reader;
    qsizetype fed = 0;
    while (fed < input.size() && !reader.isComplete()) {
        const qsizetype piece = std::min<qsizetype>(step, input.size() - fed);
        reader.append(input.sliced(fed, piece));
        fed += piece;
        check(reader.received() == fed);
        check(reader.retained() <= fed);
    }
    check(reader.isComplete() == whole.has_value());
    if (whole) {
        const auto request = reader.request();
        check(request->body == whole->body);
        check(request->head.method == whole->head.method);
        check(request->head.path == whole->head.path);
        check(request->head.headers == whole->head.headers);
        // It completed in the piece that brought the last byte it needed.
        check(!HttpRequestReader::parse(input.first(fed - std::min<qsizetype>(fed, step))));
    }

    // With a head limit: a head within it reads as without one; one beyond it is given up
    // without keeping its bytes, and never completes.
    const qsizetype maxHead = 16 * step;
    const qsizetype headEnd = input.indexOf(QByteArrayView("\r\n\r\n"));
    HttpRequestReader limited(maxHead);
    for (qsizetype at = 0; at < input.size() && !limited.isComplete() && !limited.headTooLarge(); at += step)
        limited.append(input.sliced(at, std::min<qsizetype>(step, input.size() - at)));
    if (headEnd >= 0 && headEnd <= maxHead) {
        check(!limited.headTooLarge());
        check(limited.isComplete() == whole.has_value());
    } else {
        check(!limited.isComplete());
        check(limited.headTooLarge() == (headEnd > maxHead || input.size() - 3 > maxHead));
        check(!limited.headTooLarge() || limited.retained() == 0);
    }
    return 0;
}
