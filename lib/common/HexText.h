// Hexadecimal prefix of a text. Pure logic.
#pragma once
#include <stdint.h>

// 0 to 15 for a hex digit of either case, else -1. Inline: record files
// decode megabytes of hex through it.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Value of the run of hex digits at the start of text: no "0x", no sign, no
// blanks; 0 when none; wraps modulo 2^64. A null text yields 0.
uint64_t ParseHexPrefix(const char* text);
