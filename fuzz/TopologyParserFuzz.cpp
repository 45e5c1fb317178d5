// Feeds arbitrary bytes to the topology reader.
#include "protocol/TopologyParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const auto& groups :
         {TopologyParser::parse(bytes), TopologyParser::parse(QString::fromUtf8(bytes))}) {
        for (const TopologyParser::Group& group : groups) {
            for (const TopologyParser::Member& member : group.members) {
                // Every member has a host.
                if (member.host.isEmpty())
                    __builtin_trap();
            }
        }
    }
    return 0;
}
