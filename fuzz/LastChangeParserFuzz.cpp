// Feeds arbitrary bytes to the LastChange reader.
#include "protocol/LastChangeParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    LastChangeParser::parse(bytes);
    LastChangeParser::parse(QString::fromUtf8(bytes));
    return 0;
}
