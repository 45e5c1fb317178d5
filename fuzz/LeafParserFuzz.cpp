// Feeds arbitrary bytes to the leaf reader, both as raw bytes and as decoded text.
#include "protocol/LeafParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Fields fromBytes = LeafParser::parse(bytes);
    const Fields fromText = LeafParser::parse(QString::fromUtf8(bytes));
    // Only elements that ended with text are recorded.
    for (const Fields* fields : {&fromBytes, &fromText}) {
        for (auto it = fields->begin(); it != fields->end(); ++it) {
            if (it.value().isEmpty())
                __builtin_trap();
        }
    }
    return 0;
}
