#include "formats/RecordLine.h"

#include <inttypes.h>

#include <algorithm>

#include "common/Escapes.h"
#include "common/HexText.h"
#include "common/FormatText.h"

const char kRecordHeader[] = "# velk record 1";
const char kTriggerMark[] = "# trigger";

namespace {

const char kStartPrefix[] = "# start ";

const uint64_t kMicrosPerSecond = 1000000;
// Far beyond any recording; keeps the arithmetic clear of overflow.
const uint64_t kMaxSeconds = 1000000000;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char KindLetter(MessageKind kind)
{
    return kind == kStringPayload ? 'S' : kind == kArrayPayload ? 'A' : 'V';
}

const char* KindName(MessageKind kind)
{
    return kind == kStringPayload ? "a string code" : kind == kArrayPayload ? "an array code" : "a value code";
}

// Whole seconds, then up to 6 decimals.
bool ParseSeconds(const std::string& text, uint64_t* micros)
{
    size_t i = 0;
    uint64_t seconds = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        seconds = seconds * 10 + static_cast<uint64_t>(text[i] - '0');
        if (seconds > kMaxSeconds)
            return false;
    }
    if (i == 0)
        return false;
    uint64_t fraction = 0;
    uint64_t scale = kMicrosPerSecond;
    if (i < text.size()) {
        if (text[i] != '.' || i + 1 == text.size())
            return false;
        for (++i; i < text.size(); ++i) {
            if (!IsDigit(text[i]) || scale == 1)
                return false;
            scale /= 10;
            fraction += static_cast<uint64_t>(text[i] - '0') * scale;
        }
    }
    *micros = seconds * kMicrosPerSecond + fraction;
    return true;
}

bool ParseValue(const std::string& text, int32_t* value)
{
    size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > 2147483648LL)
            return false;
    }
    int64_t result = text[0] == '-' ? -magnitude : magnitude;
    if (result > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(result);
    return true;
}

// '-' or pairs of hex digits; the fault in *error otherwise.
bool ParseBytes(const std::string& text, std::string* bytes, std::string* error)
{
    bytes->clear();
    if (text == "-")
        return true;
    if (text.empty()) {
        *error = "no payload: write '-' for an empty one";
        return false;
    }
    return ParseHexBytes(text, bytes, error);
}

} // namespace

std::string ParseRecordLine(const std::string& line, RecordedMessage* message)
{
    // Counted before any field is copied: a line of spaces costs nothing.
    const size_t spaces = static_cast<size_t>(std::count(line.begin(), line.end(), ' '));
    if (spaces != 3)
        return FormatText("expected 4 fields separated by single spaces (time code kind data), found %zu",
                          spaces + 1);
    std::string fields[4];
    size_t start = 0;
    for (std::string& field : fields) {
        size_t space = line.find(' ', start);
        field = line.substr(start, space == std::string::npos ? std::string::npos : space - start);
        start = space + 1;
    }
    if (!ParseSeconds(fields[0], &message->micros))
        return "bad time " + QuoteInput(fields[0]) + ": expected seconds with at most 6 decimals, like 0.012345";
    if (!ParseHexCode(fields[1], &message->code))
        return "bad code " + QuoteInput(fields[1]) + ": expected 8 hex digits";
    const std::string& kind = fields[2];
    if (kind != "V" && kind != "S" && kind != "A")
        return "bad kind " + QuoteInput(kind) + ": expected V, S or A";
    message->kind = ClassifyCode(message->code);
    if (kind[0] != KindLetter(message->kind))
        return FormatText("kind %s does not fit code %08x, %s", kind.c_str(), static_cast<unsigned>(message->code),
                          KindName(message->kind));
    message->value = 0;
    message->bytes.clear();
    if (message->kind == kValueMessage) {
        if (!ParseValue(fields[3], &message->value))
            return "bad value " + QuoteInput(fields[3]) + ": expected a signed 32-bit decimal number";
        return std::string();
    }
    std::string error;
    ParseBytes(fields[3], &message->bytes, &error);
    return error;
}

std::string FormatStartLine(const WallTime& start)
{
    return kStartPrefix + FormatLocalTime(start);
}

bool ParseStartLine(const std::string& line, WallTime* start)
{
    const size_t prefix = sizeof kStartPrefix - 1;
    return line.compare(0, prefix, kStartPrefix) == 0 && ParseLocalTime(line.substr(prefix), start);
}

std::string FormatSeconds(uint64_t micros)
{
    return FormatText("%" PRIu64 ".%06" PRIu64, micros / kMicrosPerSecond, micros % kMicrosPerSecond);
}

std::string FormatMillis(uint64_t micros)
{
    return FormatText("%" PRIu64 ".%03" PRIu64, micros / 1000, micros % 1000);
}

std::string FormatRecordLine(const RecordedMessage& message)
{
    std::string line = FormatSeconds(message.micros);
    line += FormatText(" %08x %c ", static_cast<unsigned>(message.code), KindLetter(message.kind));
    if (message.kind == kValueMessage)
        return line + FormatText("%d", static_cast<int>(message.value));
    return line + (message.bytes.empty() ? "-" : FormatHexBytes(message.bytes));
}

bool ParseHexCode(const std::string& text, uint32_t* code)
{
    if (text.size() != 8)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    *code = value;
    return true;
}

bool ParseHexBytes(const std::string& text, std::string* bytes, std::string* error)
{
    bytes->clear();
    if (text.size() % 2 != 0) {
        *error = "payload has an odd number of hex digits";
        return false;
    }
    if (text.size() / 2 > kMaxRecordedPayload) {
        *error = FormatText("payload of %zu bytes is longer than the bus takes (%d)", text.size() / 2,
                            static_cast<int>(kMaxRecordedPayload));
        return false;
    }
    // Through plain pointers: a replay decodes every payload twice.
    const size_t count = text.size() / 2;
    bytes->resize(count);
    const char* hex = text.data();
    char* out = &(*bytes)[0];
    for (size_t i = 0; i < count; ++i) {
        int high = HexDigitValue(hex[2 * i]);
        int low = HexDigitValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            *error = FormatText("payload has a non-hex character at byte %zu", i + 1);
            bytes->clear();
            return false;
        }
        out[i] = static_cast<char>(high << 4 | low);
    }
    return true;
}

std::string FormatHexBytes(const std::string& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}
