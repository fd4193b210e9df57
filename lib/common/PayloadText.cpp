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

// Character by character, for bytes that do not decode whole: the
// characters that do are kept, each byte of the rest is marked.
std::string DecodeEach(const std::string& bytes, const CodePage& codePage)
{
    std::string text;
    std::u16string decoded;
    for (size_t at = 0; at < bytes.size();) {
        size_t left = bytes.size() - at;
        size_t shortest = 1, longest = codePage.maxCharBytes < left ? codePage.maxCharBytes : left;
        if (codePage.maxCharBytes == 2)   // a double-byte code page says how long a character is
            shortest = longest = codePage.isLeadByte(static_cast<unsigned char>(bytes[at])) && left > 1 ? 2 : 1;
        size_t length = 0;
        for (size_t tried = shortest; tried <= longest && length == 0; ++tried) {
            if (codePage.decode(bytes.data() + at, tried, &decoded))
                length = tried;
        }
        if (length == 0) {
            text += FormatText("\\x%02x", static_cast<unsigned char>(bytes[at]));
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
