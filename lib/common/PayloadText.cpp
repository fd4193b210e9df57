#include "common/PayloadText.h"

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "common/Utf8.h"

namespace {

// A lone surrogate (no code page gives one) becomes U+FFFD.
void AppendUtf16(std::string* out, const std::u16string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            AppendUtf8(SurrogatePairPoint(unit, text[++i]), out);
        else if (unit >= 0xD800 && unit < 0xE000)
            AppendUtf8(0xFFFD, out);
        else
            AppendUtf8(unit, out);
    }
}

// How many bytes from at on make one character of the code page, decoded
// into *decoded; 0 when none does.
size_t CharacterAt(const std::string& bytes, size_t at, const CodePage& codePage, std::u16string* decoded)
{
    const size_t left = bytes.size() - at;
    size_t shortest = 1, longest = codePage.maxCharBytes < left ? codePage.maxCharBytes : left;
    if (codePage.maxCharBytes == 2)   // a double-byte code page says how long a character is
        shortest = longest = codePage.isLeadByte(static_cast<unsigned char>(bytes[at])) && left > 1 ? 2 : 1;
    for (size_t tried = shortest; tried <= longest; ++tried) {
        if (codePage.decode(bytes.data() + at, tried, decoded))
            return tried;
    }
    return 0;
}

std::string HexBytes(const std::string& bytes, size_t at, size_t count)
{
    std::string hex;
    for (size_t i = at; i < at + count; ++i)
        hex += FormatText("\\x%02x", static_cast<unsigned char>(bytes[i]));
    return hex;
}

// Character by character, for bytes that do not decode whole: the
// characters that do are kept, each byte of the rest is marked.
std::string DecodeEach(const std::string& bytes, const CodePage& codePage)
{
    std::string text;
    std::u16string decoded;
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = CharacterAt(bytes, at, codePage, &decoded);
        if (length == 0) {
            text += HexBytes(bytes, at, 1);
            ++at;
            continue;
        }
        AppendUtf16(&text, decoded);
        at += length;
    }
    return text;
}

} // namespace

std::string PayloadText(const std::string& bytes, const CodePage& codePage)
{
    if (bytes.empty())
        return std::string();
    std::u16string decoded;
    std::string text;
    if (codePage.decode(bytes.data(), bytes.size(), &decoded))
        AppendUtf16(&text, decoded);
    else
        text = DecodeEach(bytes, codePage);
    // Decoded C0 controls are single bytes of UTF-8, never inside a character.
    return EscapeUtf8ForDisplay(text);
}

std::string EscapeLineControls(const std::string& line, const CodePage& codePage)
{
    size_t plain = 0;
    while (plain < line.size() && line[plain] >= ' ' && line[plain] < 0x7F)
        ++plain;
    if (plain == line.size())
        return line;   // most lines, under a flood too
    std::string shown = line.substr(0, plain);
    std::u16string decoded;
    std::string utf8;
    for (size_t at = plain; at < line.size();) {
        const unsigned char byte = static_cast<unsigned char>(line[at]);
        if (byte < 0x80) {
            shown += EscapeForDisplay(line.substr(at, 1));
            ++at;
            continue;
        }
        const size_t length = CharacterAt(line, at, codePage, &decoded);
        utf8.clear();
        AppendUtf16(&utf8, decoded);
        unsigned point = 0;
        if (length == 0 || HiddenControlAt(utf8, 0, &point) != 0)
            shown += HexBytes(line, at, length == 0 ? 1 : length);
        else
            shown += line.substr(at, length);
        at += length == 0 ? 1 : length;
    }
    return shown;
}
