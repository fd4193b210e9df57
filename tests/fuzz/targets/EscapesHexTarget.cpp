// The console's escapes and hex texts: escaping then unescaping gives the
// text back, what is shown holds no control byte, quoted input stays short,
// and hex reads back as it is written.
#include "tests/fuzz/FuzzTargets.h"

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "common/ArrayText.h"
#include "common/Escapes.h"
#include "common/HexText.h"
#include "formats/RecordLine.h"

namespace {

bool NoLeadByte(unsigned char) { return false; }
bool GbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

} // namespace

void FuzzEscapesHex(const uint8_t* data, size_t size)
{
    const std::string text = FuzzText(data, size);
    std::vector<char> terminated(text.begin(), text.end());
    terminated.push_back('\0');

    const std::string escaped = EscapeControlChars(text);
    FUZZ_CHECK(escaped.find_first_of("\n\r\t\a\b") == std::string::npos);
    if (text.find('\\') == std::string::npos)
        FUZZ_CHECK(UnescapeText(escaped, NoLeadByte) == text);
    FUZZ_CHECK(UnescapeText(text, NoLeadByte).size() <= text.size());
    FUZZ_CHECK(UnescapeText(text, GbkLeadByte).size() <= text.size());

    const std::string shown = EscapeForDisplay(text);
    for (unsigned char c : shown)
        FUZZ_CHECK(c >= 0x20 && c != 0x7F);
    const std::string quoted = QuoteInput(text, 16);
    FUZZ_CHECK(quoted.size() <= 2 + 16 + 3 + 32);
    for (unsigned char c : quoted)
        FUZZ_CHECK(c >= 0x20 && c != 0x7F);

    // The hex prefix: the run of hex digits, modulo 2^64.
    uint64_t value = 0;
    for (size_t i = 0; i < size && HexDigitValue(text[i]) >= 0; ++i)
        value = value << 4 | static_cast<uint64_t>(HexDigitValue(text[i]));
    FUZZ_CHECK(ParseHexPrefix(terminated.data()) == value);

    unsigned char bytes[kMaxArrayBytes];
    int count = ParseArrayText(terminated.data(), bytes);
    FUZZ_CHECK(count >= 0 && count <= kMaxArrayBytes);

    std::string decoded, error;
    if (ParseHexBytes(text, &decoded, &error)) {
        FUZZ_CHECK(decoded.size() * 2 == size);
        std::string lower = text;
        for (char& c : lower)
            c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
        FUZZ_CHECK(FormatHexBytes(decoded) == lower);
    } else {
        FUZZ_CHECK(!error.empty() && decoded.empty());
        size_t at = error.find("at byte ");
        if (at != std::string::npos) {
            unsigned long byte = strtoul(error.c_str() + at + 8, nullptr, 10);
            FUZZ_CHECK(byte >= 1 && byte <= size / 2);
        }
    }
    uint32_t code = 0;
    if (ParseHexCode(text, &code)) {
        FUZZ_CHECK(size == 8 && value == code);
    }
}
