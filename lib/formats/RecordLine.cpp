#include "formats/RecordLine.h"

#include <inttypes.h>

#include <algorithm>

#include "common/Escapes.h"
#include "common/HexText.h"
#include "common/FormatText.h"
#include "common/Catalogue.h"

const char kRecordHeader[] = "# velk record 1";
const char kTriggerMark[] = "# trigger";
const char kExpiredNote[] = "# the next message's payload had expired";

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
    return kind == kStringPayload ? N_("a string code") : kind == kArrayPayload ? N_("an array code") : N_("a value code");
}

// A field of a line, in place: a record line is parsed without copying it.
struct Field {
    const char* at;
    size_t size;
    std::string Text() const { return std::string(at, size); }
};

// Whole seconds, then up to 6 decimals.
bool ParseSeconds(Field text, uint64_t* micros)
{
    size_t i = 0;
    uint64_t seconds = 0;
    for (; i < text.size && IsDigit(text.at[i]); ++i) {
        seconds = seconds * 10 + static_cast<uint64_t>(text.at[i] - '0');
        if (seconds > kMaxSeconds)
            return false;
    }
    if (i == 0)
        return false;
    uint64_t fraction = 0;
    uint64_t scale = kMicrosPerSecond;
    if (i < text.size) {
        if (text.at[i] != '.' || i + 1 == text.size)
            return false;
        for (++i; i < text.size; ++i) {
            if (!IsDigit(text.at[i]) || scale == 1)
                return false;
            scale /= 10;
            fraction += static_cast<uint64_t>(text.at[i] - '0') * scale;
        }
    }
    *micros = seconds * kMicrosPerSecond + fraction;
    return true;
}

bool ParseValue(Field text, int32_t* value)
{
    const bool negative = text.size > 1 && text.at[0] == '-';
    size_t i = negative ? 1 : 0;
    if (i == text.size)
        return false;
    int64_t magnitude = 0;
    for (; i < text.size; ++i) {
        if (!IsDigit(text.at[i]))
            return false;
        magnitude = magnitude * 10 + (text.at[i] - '0');
        if (magnitude > 2147483648LL)
            return false;
    }
    int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(result);
    return true;
}

bool ParseCode(Field text, uint32_t* code)
{
    if (text.size != 8)
        return false;
    uint32_t value = 0;
    for (size_t i = 0; i < 8; ++i) {
        int digit = HexDigitValue(text.at[i]);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    *code = value;
    return true;
}

bool ParseHex(Field text, std::string* bytes, std::string* error)
{
    bytes->clear();
    if (text.size % 2 != 0) {
        *error = N_("payload has an odd number of hex digits");
        return false;
    }
    if (text.size / 2 > kMaxRecordedPayload) {
        *error = FormatText(N_("payload of %zu bytes is longer than the bus takes (%d)"), text.size / 2,
                            static_cast<int>(kMaxRecordedPayload));
        return false;
    }
    // Through plain pointers: a replay decodes every payload twice.
    const size_t count = text.size / 2;
    bytes->resize(count);
    const char* hex = text.at;
    char* out = count != 0 ? &(*bytes)[0] : nullptr;
    for (size_t i = 0; i < count; ++i) {
        int high = HexDigitValue(hex[2 * i]);
        int low = HexDigitValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            *error = FormatText(N_("payload has a non-hex character at byte %zu"), i + 1);
            bytes->clear();
            return false;
        }
        out[i] = static_cast<char>(high << 4 | low);
    }
    return true;
}

// '-' or pairs of hex digits; the fault in *error otherwise.
bool ParseBytes(Field text, std::string* bytes, std::string* error)
{
    bytes->clear();
    if (text.size == 1 && text.at[0] == '-')
        return true;
    if (text.size == 0) {
        *error = N_("no payload: write '-' for an empty one");
        return false;
    }
    return ParseHex(text, bytes, error);
}

} // namespace

std::string ParseRecordLine(const std::string& line, RecordedMessage* message)
{
    // The fields in one pass, before any is copied: a line of spaces costs nothing.
    Field fields[4];
    size_t spaces = 0, start = 0;
    const char* text = line.data();
    for (size_t i = 0; i < line.size(); ++i) {
        if (text[i] != ' ')
            continue;
        if (spaces < 3)
            fields[spaces] = Field{ text + start, i - start };
        ++spaces;
        start = i + 1;
    }
    if (spaces != 3)
        return FormatText(N_("expected 4 fields separated by single spaces (time code kind data), found %zu"),
                          spaces + 1);
    fields[3] = Field{ text + start, line.size() - start };
    if (!ParseSeconds(fields[0], &message->micros))
        return FormatText(N_("bad time %s: expected seconds with at most 6 decimals, like 0.012345"),
                          QuoteInput(fields[0].Text()).c_str());
    if (!ParseCode(fields[1], &message->code))
        return FormatText(N_("bad code %s: expected 8 hex digits"), QuoteInput(fields[1].Text()).c_str());
    const Field kind = fields[2];
    if (kind.size != 1 || (kind.at[0] != 'V' && kind.at[0] != 'S' && kind.at[0] != 'A'))
        return FormatText(N_("bad kind %s: expected V, S or A"), QuoteInput(kind.Text()).c_str());
    message->kind = ClassifyCode(message->code);
    if (kind.at[0] != KindLetter(message->kind))
        return FormatText(N_("kind %s does not fit code %08x, %s"), kind.Text().c_str(),
                          static_cast<unsigned>(message->code), KindName(message->kind));
    message->value = 0;
    message->bytes.clear();
    if (message->kind == kValueMessage) {
        if (!ParseValue(fields[3], &message->value))
            return FormatText(N_("bad value %s: expected a signed 32-bit decimal number"), QuoteInput(fields[3].Text()).c_str());
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
    std::string text;
    AppendDecimal(&text, micros / kMicrosPerSecond);
    text += '.';
    AppendDecimal(&text, micros % kMicrosPerSecond, 6);
    return text;
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
    return ParseCode(Field{ text.data(), text.size() }, code);
}

bool ParseHexBytes(const std::string& text, std::string* bytes, std::string* error)
{
    return ParseHex(Field{ text.data(), text.size() }, bytes, error);
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
