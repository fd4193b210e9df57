#include "common/Escapes.h"

#include "common/FormatText.h"
#include "common/Catalogue.h"

namespace {

struct Escape { char character; const char* written; };

// Order matters: each entry is one pass over the whole text.
const Escape kEscapes[] = {
    { '\n', "\\n" },
    { '\r', "\\r" },
    { '\t', "\\t" },
    { '\a', "\\a" },
    { '\b', "\\b" },
};

// Left to right, never rescanning what was just put in.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to)
{
    if (text.find(from) == std::string::npos)
        return text;
    std::string result;
    result.reserve(text.size());
    size_t start = 0;
    for (;;) {
        size_t found = text.find(from, start);
        if (found == std::string::npos)
            break;
        result.append(text, start, found - start);
        result += to;
        start = found + from.size();
    }
    result.append(text, start, std::string::npos);
    return result;
}

// One pass of one escape, character by character.
std::string ReplaceEscape(const std::string& text, const Escape& escape, LeadByteTest isLeadByte)
{
    std::string result;
    result.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (isLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) {
            result.append(text, at, 2);
            at += 2;
        } else if (text.compare(at, 2, escape.written) == 0) {
            result += escape.character;
            at += 2;
        } else {
            result += text[at++];
        }
    }
    return result;
}

// One byte as EscapeForDisplay shows it.
std::string Shown(char c)
{
    for (const Escape& escape : kEscapes) {
        if (c == escape.character)
            return escape.written;
    }
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
        return FormatText("\\x%02x", byte);
    return std::string(1, c);
}

} // namespace

std::string UnescapeText(const std::string& typed, LeadByteTest isLeadByte)
{
    std::string text = typed;
    for (const Escape& escape : kEscapes)
        text = ReplaceEscape(text, escape, isLeadByte);
    return text;
}

std::string EscapeControlChars(const std::string& text)
{
    std::string escaped = text;
    for (const Escape& escape : kEscapes)
        escaped = ReplaceAll(escaped, std::string(1, escape.character), escape.written);
    return escaped;
}

std::string EscapeForDisplay(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size());
    for (char c : text)
        shown += Shown(c);
    return shown;
}

size_t HiddenControlAt(const std::string& utf8, size_t at, unsigned* point)
{
    if (at + 1 >= utf8.size())
        return 0;
    const unsigned lead = static_cast<unsigned char>(utf8[at]);
    const unsigned second = static_cast<unsigned char>(utf8[at + 1]);
    if (lead == 0xC2 && second >= 0x80 && second <= 0x9F) {   // U+0080-U+009F
        *point = second;
        return 2;
    }
    if (lead != 0xE2 || at + 2 >= utf8.size())
        return 0;
    const unsigned third = static_cast<unsigned char>(utf8[at + 2]);
    if ((second == 0x80 && third >= 0xAA && third <= 0xAE) ||   // U+202A-U+202E
        (second == 0x81 && third >= 0xA6 && third <= 0xA9)) {   // U+2066-U+2069
        *point = 0x2000 | (second & 0x3F) << 6 | (third & 0x3F);
        return 3;
    }
    return 0;
}

bool HasControlCharacter(const std::string& utf8)
{
    for (size_t at = 0; at < utf8.size(); ++at) {
        unsigned point = 0;
        if (static_cast<unsigned char>(utf8[at]) < ' ' || utf8[at] == 0x7f || HiddenControlAt(utf8, at, &point) != 0)
            return true;
    }
    return false;
}

std::string EscapeUtf8ForDisplay(const std::string& utf8)
{
    std::string shown;
    shown.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        unsigned point = 0;
        const size_t hidden = HiddenControlAt(utf8, at, &point);
        shown += hidden != 0 ? FormatText("\\u%04x", point) : Shown(utf8[at]);
        at += hidden != 0 ? hidden : 1;
    }
    return shown;
}

std::string QuoteInput(const std::string& text, size_t maxShown)
{
    std::string quoted = "'";
    for (size_t at = 0; at < text.size(); ++at) {
        std::string piece = Shown(text[at]);
        if (quoted.size() - 1 + piece.size() > maxShown)
            return quoted + FormatText(N_("...' (%zu bytes)"), text.size());
        quoted += piece;
    }
    return quoted + "'";
}
