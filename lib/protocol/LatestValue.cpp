#include "protocol/LatestValue.h"

#include <algorithm>

#include "common/FormatText.h"

void LatestValue::Set(MessageKind messageKind, int32_t word, const char* payload, int32_t payloadLength)
{
    kind = messageKind;
    value = word;
    expired = kind != kValueMessage && payload == nullptr;
    length = payload != nullptr && payloadLength > 0 ? payloadLength : 0;
    bytes.assign(payload != nullptr ? payload : "", static_cast<size_t>(std::min<int32_t>(length, kLatestPayloadBytes)));
}

bool LatestValue::operator==(const LatestValue& other) const
{
    if (kind != other.kind || expired != other.expired)
        return false;
    return kind == kValueMessage ? value == other.value : length == other.length && bytes == other.bytes;
}

namespace {

// The text cut to width bytes, whole characters only, "~" marking a cut.
std::string Cut(const std::string& text, size_t width, bool more, LeadByteTest isLeadByte)
{
    if (text.size() <= width && !more)
        return text;
    size_t room = width > 0 ? width - 1 : 0;
    size_t end = 0;
    while (end < text.size()) {
        size_t next = end + (isLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1);
        if (next > room)
            break;
        end = next;
    }
    return width == 0 ? std::string() : text.substr(0, end) + "~";
}

} // namespace

std::string LatestValueText(const LatestValue& latest, size_t width, LeadByteTest isLeadByte)
{
    if (latest.kind == kValueMessage)
        return Cut(FormatText("%d", static_cast<int>(latest.value)), width, false, isLeadByte);
    if (latest.expired)
        return Cut("(expired)", width, false, isLeadByte);
    bool more = latest.length > static_cast<int32_t>(latest.bytes.size());
    if (latest.kind == kArrayPayload) {
        // Whole bytes only: "01 FF ~", never "01 F~".
        std::string hex;
        for (size_t i = 0; i < latest.bytes.size(); ++i) {
            std::string next = FormatText(i == 0 ? "%02X" : " %02X", static_cast<unsigned char>(latest.bytes[i]));
            bool last = i + 1 == latest.bytes.size() && !more;
            if (hex.size() + next.size() + (last ? 0 : 1) > width) {
                if (width == 0)
                    return std::string();
                return !hex.empty() && hex.size() + 2 <= width ? hex + " ~" : hex.substr(0, width - 1) + "~";
            }
            hex += next;
        }
        return more ? hex + "~" : hex;
    }
    // A string stops at its NUL, as the console shows it.
    std::string text = latest.bytes.substr(0, latest.bytes.find('\0'));
    more = more && text.size() == latest.bytes.size();
    text = EscapeControlChars(text);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '.';
    }
    return Cut(text, width, more, isLeadByte);
}

std::string CutToWidth(const std::string& text, size_t width, LeadByteTest isLeadByte)
{
    return Cut(text, width, false, isLeadByte);
}
