#include "formats/JsonLine.h"

#include "common/FormatText.h"

std::string JsonString(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string FormatJsonLine(const RecordedMessage& message, uint64_t deltaMicros, bool expired,
                           const CodePage& codePage, const std::string& localTime)
{
    std::string line = "{";
    if (!localTime.empty())
        line += "\"time\":\"" + localTime + "\",";
    line += "\"t\":" + FormatSeconds(message.micros);
    line += ",\"delta_ms\":" + FormatMillis(deltaMicros);
    line += FormatText(",\"code\":\"%08x\",\"kind\":\"%s\"", static_cast<unsigned>(message.code),
                       MessageKindName(message.kind));
    if (message.kind == kValueMessage)
        return line + FormatText(",\"value\":%d}", static_cast<int>(message.value));
    line += FormatText(",\"length\":%zu,\"bytes\":\"", message.bytes.size());
    line += FormatHexBytes(message.bytes) + '"';
    if (message.kind == kStringPayload)
        line += ",\"text\":" + JsonString(PayloadText(message.bytes, codePage));
    if (expired)
        line += ",\"expired\":true";
    return line + "}";
}
