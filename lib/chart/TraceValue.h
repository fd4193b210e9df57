// The number a message draws on a chart. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

#include "protocol/MessageCode.h"

// Which number an array message draws.
enum ArrayValue {
    kArrayFirstByte,   // byte 0, unsigned
    kArrayFirstWord,   // bytes 0 and 1, little-endian, unsigned
};

// A value message's data word (signed 32-bit), an array's first byte or
// word; false for strings, and for an array too short or gone.
bool TraceValueOf(MessageKind kind, int32_t value, const std::string& bytes, ArrayValue arrayValue, int32_t* drawn);
