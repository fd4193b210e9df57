#include "console/HexText.h"

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

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
