#include "common/HexText.h"

uint64_t ParseHexPrefix(const char* text)
{
    uint64_t value = 0;
    if (text == nullptr)
        return value;
    for (const char* p = text; ; ++p) {
        int digit = HexDigitValue(*p);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<uint64_t>(digit);   // unsigned: wraps modulo 2^64
    }
    return value;
}
