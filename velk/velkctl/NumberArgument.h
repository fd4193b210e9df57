// Numbers on velkctl's command line. Pure logic.
#pragma once
#include <stdint.h>

// "0x" or "0X" and hex digits, or decimal digits with an optional sign; the
// whole text must be the number, within [minimum, maximum]. False leaves
// *value alone.
bool ParseNumberArgument(const char* text, int64_t minimum, int64_t maximum, int64_t* value);
