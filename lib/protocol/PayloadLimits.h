// How large a payload the bus carries. Pure: the block's layout and every
// client that reads a payload from a file take it from here.
#pragma once
#include <stdint.h>

enum : uint32_t {
    kMaxPayloadBytes = 65536,   // larger string and array payloads are refused
};
