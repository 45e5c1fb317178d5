// Feeds arbitrary bytes to the pugixml readers and to the Qt readers they replaced, and stops
// at the first input on which they read different fields (see ReaderDifferential.h for what
// counts as agreeing on a malformed document).
#include "support/ReaderDifferential.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString found = reference::disagreement(bytes);
    if (!found.isEmpty()) {
        std::fprintf(stderr, "%s\n", found.toLocal8Bit().constData());
        __builtin_trap();
    }
    return 0;
}
