// Hexadecimal prefix of a text. Pure logic.
#pragma once
#include <stdint.h>

// Value of the run of hex digits at the start of text: no "0x", no sign, no
// blanks; 0 when none; wraps modulo 2^64. A null text yields 0.
uint64_t ParseHexPrefix(const char* text);
