// UTF-8 from code points, for the texts velkctl writes and the JSON it
// reads. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

// One code point (at most U+10FFFF) in UTF-8 at the end of out.
inline void AppendUtf8(uint32_t point, std::string* out)
{
    if (point < 0x80) {
        *out += static_cast<char>(point);
    } else if (point < 0x800) {
        *out += static_cast<char>(0xC0 | point >> 6);
        *out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        *out += static_cast<char>(0xE0 | point >> 12);
        *out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | point >> 18);
        *out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        *out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// The code point of a UTF-16 surrogate pair (high D800-DBFF, low DC00-DFFF).
inline uint32_t SurrogatePairPoint(uint32_t high, uint32_t low)
{
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}
