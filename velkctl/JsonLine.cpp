#include "velkctl/JsonLine.h"

#include <inttypes.h>

#include "framework/FormatText.h"

std::string FormatJsonLine(const RecordedMessage& message, uint64_t deltaMicros, bool expired)
{
    static const char* const kKinds[] = { "value", "string", "array" };
    std::string line = "{\"t\":" + FormatSeconds(message.micros);
    line += FormatText(",\"delta_ms\":%" PRIu64 ".%03" PRIu64, deltaMicros / 1000, deltaMicros % 1000);
    line += FormatText(",\"code\":\"%08x\",\"kind\":\"%s\"", static_cast<unsigned>(message.code),
                       kKinds[message.kind]);
    if (message.kind == kValueMessage)
        return line + FormatText(",\"value\":%d}", static_cast<int>(message.value));
    line += FormatText(",\"length\":%zu,\"bytes\":\"", message.bytes.size());
    line += FormatHexBytes(message.bytes) + '"';
    if (expired)
        line += ",\"expired\":true";
    return line + "}";
}
