// Text of the public-variable edits. Pure logic.
#pragma once
#include <stdint.h>

// atoi-like: leading white space, optional sign, digits up to the first other
// character; 0 when no digit starts the text; saturates at the int32 limits.
int32_t ParseDecimalSaturating(const char* text);
