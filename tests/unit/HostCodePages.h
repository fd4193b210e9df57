// GBK and UTF-8 as CodePage decoders for the native tests: the host's iconv
// here, where the programs use MultiByteToWideChar.
#pragma once
#include <iconv.h>
#include <stddef.h>

#include <string>

#include "common/PayloadText.h"

inline bool IconvDecode(const char* from, const char* bytes, size_t count, std::u16string* text)
{
    iconv_t converter = iconv_open("UTF-16LE", from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in(bytes, count), out(count * 4 + 4, '\0');
    char* inAt = &in[0];
    char* outAt = &out[0];
    size_t inLeft = count, outLeft = out.size();
    bool whole = iconv(converter, &inAt, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
    iconv_close(converter);
    text->clear();
    for (size_t i = 0; i + 1 < out.size() - outLeft; i += 2)
        text->push_back(static_cast<char16_t>(static_cast<unsigned char>(out[i]) | static_cast<unsigned char>(out[i + 1]) << 8));
    return whole;
}

inline bool IconvDecodeGbk(const char* bytes, size_t count, std::u16string* text)
{
    return IconvDecode("GBK", bytes, count, text);
}
inline bool IconvDecodeUtf8(const char* bytes, size_t count, std::u16string* text)
{
    return IconvDecode("UTF-8", bytes, count, text);
}
inline bool GbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
inline bool NoLeadByte(unsigned char) { return false; }

const CodePage kGbk = { 2, GbkLeadByte, IconvDecodeGbk };
const CodePage kUtf8 = { 4, NoLeadByte, IconvDecodeUtf8 };
