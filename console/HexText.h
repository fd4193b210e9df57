// Hexadecimal prefix of a text. Pure logic.
#pragma once
#include <stdint.h>

// 0 to 15 for a hex digit of either case, else -1.
int HexDigitValue(char c);

// Value of the run of hex digits at the start of text: no "0x", no sign, no
// blanks; 0 when none; wraps modulo 2^64. A null text yields 0.
uint64_t ParseHexPrefix(const char* text);
