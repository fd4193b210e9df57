#include "formats/JsonLine.h"

#include "common/Escapes.h"
#include "common/FormatText.h"

std::string JsonString(const std::string& text)
{
    std::string quoted = "\"";
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        unsigned point = 0;
        const size_t hidden = HiddenControlAt(text, at, &point);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            quoted += FormatText("\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        } else if (hidden != 0) {
            // C1 and the bidirectional overrides too: no terminal showing the line acts on them.
            quoted += FormatText("\\u%04x", point);
            at += hidden - 1;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string FormatMessageMembers(const RecordedMessage& message, bool expired, const CodePage& codePage)
{
    std::string members = FormatText("\"code\":\"%08x\",\"kind\":\"%s\"", static_cast<unsigned>(message.code),
                                     MessageKindName(message.kind));
    if (message.kind == kValueMessage)
        return members + FormatText(",\"value\":%d", static_cast<int>(message.value));
    members += FormatText(",\"length\":%zu,\"bytes\":\"", message.bytes.size());
    members += FormatHexBytes(message.bytes) + '"';
    if (message.kind == kStringPayload)
        members += ",\"text\":" + JsonString(PayloadText(message.bytes, codePage));
    if (expired)
        members += ",\"expired\":true";
    return members;
}

std::string FormatJsonLine(const RecordedMessage& message, uint64_t deltaMicros, bool expired,
                           const CodePage& codePage, const std::string& localTime)
{
    std::string line = "{";
    if (!localTime.empty())
        line += "\"time\":\"" + localTime + "\",";
    line += "\"t\":" + FormatSeconds(message.micros);
    line += ",\"delta_ms\":" + FormatMillis(deltaMicros);
    return line + "," + FormatMessageMembers(message, expired, codePage) + "}";
}
