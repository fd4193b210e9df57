// Random texts and payloads against every parser and formatter. The buffers are
// sized exactly, so AddressSanitizer reports any read past a terminator or a
// payload; the checks are invariants an independent reading can confirm.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "common/ArrayText.h"
#include "common/Escapes.h"
#include "protocol/HandleList.h"
#include "common/HexText.h"
#include "protocol/LogLines.h"
#include "console/VariableText.h"
#include "common/NumberText.h"

namespace {

const int kRounds = 1000000;

class RandomText {
public:
    explicit RandomText(uint64_t seed) : state_(seed) {}

    // Mostly characters that mean something to one of the parsers.
    std::string Next(size_t maxLength)
    {
        static const char kAlphabet[] = "0123456789abcdefABCDEFxg    -+\t\n\r\\nrtab\a\b\f\v";
        size_t length = Below(maxLength + 1);
        std::string text(length, '\0');
        for (char& c : text) {
            uint64_t r = Draw();   // one draw per character keeps a million texts cheap
            if ((r & 7) == 0)
                c = static_cast<char>(r >> 8);
            else
                c = kAlphabet[(r >> 16) % (sizeof kAlphabet - 1)];
        }
        return text;
    }

    size_t Below(size_t bound) { return static_cast<size_t>(Draw() % bound); }
    uint32_t Word() { return static_cast<uint32_t>(Draw()); }

private:
    // splitmix64: small and fast even in an unoptimised sanitizer build.
    uint64_t Draw()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    uint64_t state_;
};

// A heap copy ending exactly at its terminator (the text may hold earlier NULs).
std::vector<char> Terminated(const std::string& text)
{
    std::vector<char> copy(text.size() + 1, '\0');
    if (!text.empty())
        memcpy(copy.data(), text.data(), text.size());
    return copy;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

size_t HexRunLength(const char* text)
{
    size_t n = 0;
    while (IsHexDigit(text[n]))
        ++n;
    return n;
}

void CheckHexPrefix(const char* text)
{
    uint64_t value = ParseHexPrefix(text);
    size_t run = HexRunLength(text);
    if (run == 0) {
        ASSERT_EQ(0u, value);
        return;
    }
    // The last 16 digits decide the value modulo 2^64.
    size_t from = run > 16 ? run - 16 : 0;
    std::string tail(text + from, run - from);
    ASSERT_EQ(strtoull(tail.c_str(), nullptr, 16), value) << text;
}

void CheckArrayText(const char* text)
{
    unsigned char bytes[kMaxArrayBytes];
    int count = ParseArrayText(text, bytes);
    if (text[0] == '\0') {
        ASSERT_EQ(0, count);
        return;
    }
    int spaces = 0;
    for (const char* p = text; *p != '\0'; ++p)
        spaces += (*p == ' ');
    ASSERT_EQ(spaces + 1 < kMaxArrayBytes ? spaces + 1 : kMaxArrayBytes, count);
    const char* token = text;
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(static_cast<unsigned char>(ParseHexPrefix(token)), bytes[i]);
        const char* space = strchr(token, ' ');
        token = space != nullptr ? space + 1 : token;
    }
}

void CheckEscapes(const std::string& text)
{
    std::string escaped = EscapeControlChars(text);
    size_t controls = 0;
    for (char c : text)
        controls += (c == '\n' || c == '\r' || c == '\t' || c == '\a' || c == '\b');
    ASSERT_EQ(text.size() + controls, escaped.size());
    ASSERT_EQ(std::string::npos, escaped.find_first_of("\n\r\t\a\b"));

    // Byte by byte, as for a single-byte code page.
    LeadByteTest noLeadBytes = [](unsigned char) { return false; };
    std::string unescaped = UnescapeText(text, noLeadBytes);
    ASSERT_LE(unescaped.size(), text.size());
    if (text.find('\\') == std::string::npos) {
        ASSERT_EQ(text, unescaped);
        ASSERT_EQ(text, UnescapeText(escaped, noLeadBytes));
    }
}

void CheckDecimal(const char* text)
{
    long long wide = strtoll(text, nullptr, 10);   // same grammar, wider range
    int32_t expected = wide > INT32_MAX ? INT32_MAX : wide < INT32_MIN ? INT32_MIN : static_cast<int32_t>(wide);
    ASSERT_EQ(expected, ParseDecimalSaturating(text)) << text;
}

void CheckUnsigned(const char* text)
{
    uint32_t value = 0xDEADBEEF;
    if (!ParseUnsignedDecimal(text, &value)) {
        ASSERT_EQ(0xDEADBEEFu, value);
        return;
    }
    size_t digits = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        ASSERT_TRUE((*p >= '0' && *p <= '9') || *p == ' ' || *p == '\t') << text;
        digits += (*p >= '0' && *p <= '9');
    }
    ASSERT_GT(digits, 0u);
    ASSERT_EQ(strtoull(text, nullptr, 10), value) << text;
}

void CheckHandleList(const char* text, uint64_t own)
{
    std::vector<uint64_t> handles = EndSessionTargets(text, own, 32);
    size_t lines = 1;
    for (const char* p = text; *p != '\0'; ++p)
        lines += (*p == '\n');
    ASSERT_LE(handles.size(), lines);
    for (uint64_t handle : handles) {
        ASSERT_NE(0u, handle);
        ASSERT_NE(own, handle);
        ASSERT_LE(handle, 0xFFFFFFFFu);
    }
}

// A payload of exactly the bytes the formatter may read.
struct RandomPayload {
    std::vector<char> bytes;
    int32_t length;
    bool null;
};

const void* FetchRandom(void* context, intptr_t, int32_t* length)
{
    RandomPayload* payload = static_cast<RandomPayload*>(context);
    *length = payload->length;
    return payload->null ? nullptr : payload->bytes.data();
}

void CheckIncoming(RandomText& random, const std::string& text)
{
    static const uint32_t kCodes[] = { 0x30000200, 0x10000600, 0x30000400, 0x20000400, 0x40000200, 0x805 };
    uint32_t code = kCodes[random.Below(6)] | static_cast<uint32_t>(random.Below(256));
    uint32_t delta = random.Word();
    RandomPayload payload;
    payload.null = random.Below(16) == 0;
    payload.length = random.Below(4) == 0 ? static_cast<int32_t>(random.Word()) : static_cast<int32_t>(random.Below(40));
    bool noFetcher = random.Below(16) == 0;

    if ((code & 0x200) != 0 && (code & 0x30000000) != 0) {
        payload.bytes = Terminated(text);
        std::string line = FormatIncomingLine(delta, code, 1, noFetcher ? nullptr : FetchRandom, &payload);
        ASSERT_EQ(std::string::npos, line.find_first_of("\n\r\t\a\b"));
        ASSERT_LE(line.size(), 40u + 2 * 54);
    } else if ((code & 0x400) != 0 && (code & 0x30000000) != 0) {
        uint32_t shown = static_cast<uint32_t>(payload.length) < 18 ? static_cast<uint32_t>(payload.length) : 18;
        payload.bytes = std::vector<char>(shown, '\0');   // exactly the bytes that may be read
        if (shown > 0 && !text.empty())
            memcpy(payload.bytes.data(), text.data(), text.size() < shown ? text.size() : shown);
        std::string line = FormatIncomingLine(delta, code, 1, noFetcher ? nullptr : FetchRandom, &payload);
        size_t head = line.find(") ") + 2;
        size_t expectedBytes = (noFetcher || payload.null) ? 0 : shown;
        ASSERT_EQ(head + 3 * expectedBytes, line.size()) << line;
    } else {
        std::string line = FormatIncomingLine(delta, code, static_cast<intptr_t>(random.Word()), FetchRandom, &payload);
        ASSERT_NE(std::string::npos, line.find("      "));
    }
}

// A million random texts, each fed to one of the seven checks in turn.
TEST(RandomInputs, ParsersAndFormattersHoldTheirInvariants)
{
    RandomText random(20240420);
    for (int round = 0; round < kRounds; ++round) {
        std::string text = random.Next(round % 64 == 0 ? 300 : 40);
        std::vector<char> terminated = Terminated(text);
        const char* c = terminated.data();

        switch (round % 7) {
        case 0: CheckHexPrefix(c); break;
        case 1: CheckArrayText(c); break;
        case 2: CheckEscapes(text); break;
        case 3: CheckDecimal(c); break;
        case 4: CheckUnsigned(c); break;
        case 5: CheckHandleList(c, random.Below(3) == 0 ? ParseHexPrefix(c) : random.Word()); break;
        case 6: CheckIncoming(random, text); break;
        }
        if (HasFatalFailure())
            return;
    }
}

} // namespace
