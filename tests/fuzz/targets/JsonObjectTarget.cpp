// One JSON object a line, from the network: a refusal names a column of the
// line; what is read, written again by an independent writer, reads back
// to the same members.
#include "tests/fuzz/FuzzTargets.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "common/JsonObject.h"

namespace {

std::string JsonQuoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

bool IsUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t extra = c < 0x80 ? 0 : c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 9;
        if (extra == 9 || i + extra >= text.size() + (extra == 0 ? 1 : 0))
            return false;
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

void FuzzJsonObject(const uint8_t* data, size_t size)
{
    std::vector<JsonMember> members;
    std::string error;
    const char* text = reinterpret_cast<const char*>(data);
    if (!ParseJsonObject(text, size, &members, &error)) {
        // "... at column N": a byte of the line, or just after its end.
        size_t at = error.rfind("at column ");
        FUZZ_CHECK(at != std::string::npos);
        char* end = nullptr;
        unsigned long column = strtoul(error.c_str() + at + 10, &end, 10);
        FUZZ_CHECK(*end == '\0');
        FUZZ_CHECK(column >= 1 && column <= size + 1);
        return;
    }
    std::string written = "{";
    for (size_t i = 0; i < members.size(); ++i) {
        const JsonMember& member = members[i];
        FUZZ_CHECK(IsUtf8(member.key));
        for (size_t j = 0; j < i; ++j)
            FUZZ_CHECK(members[j].key != member.key);
        written += (i == 0 ? "" : ",") + JsonQuoted(member.key) + ":";
        switch (member.type) {
        case kJsonString: FUZZ_CHECK(IsUtf8(member.text)); written += JsonQuoted(member.text); break;
        case kJsonNumber: FUZZ_CHECK(!member.text.empty()); written += member.text; break;
        case kJsonTrue: written += "true"; break;
        case kJsonFalse: written += "false"; break;
        case kJsonNull: written += "null"; break;
        case kJsonNested:
            // Kept as written, from its bracket to its own.
            FUZZ_CHECK(member.text.size() >= 2 && (member.text[0] == '[' || member.text[0] == '{'));
            FUZZ_CHECK(member.text.back() == (member.text[0] == '[' ? ']' : '}'));
            written += member.text;
            break;
        }
        if (member.type != kJsonString && member.type != kJsonNumber && member.type != kJsonNested)
            FUZZ_CHECK(member.text.empty());
    }
    written += "}";
    std::vector<char> copy(written.begin(), written.end());   // exact size: no terminator to lean on
    std::vector<JsonMember> again;
    FUZZ_CHECK(ParseJsonObject(copy.data(), copy.size(), &again, &error));
    FUZZ_CHECK(again.size() == members.size());
    for (size_t i = 0; i < members.size(); ++i) {
        FUZZ_CHECK(again[i].key == members[i].key && again[i].type == members[i].type);
        FUZZ_CHECK(again[i].text == members[i].text);
    }
}
