// Number parsing of the data exchange. Pure logic.
#pragma once
#include <stdint.h>

// An unsigned 32-bit decimal: optional blanks around the digits, no sign, at
// least one digit, no other character, no overflow. False leaves *value alone.
bool ParseUnsignedDecimal(const char* text, uint32_t* value);
