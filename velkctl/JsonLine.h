// monitor --jsonl: one JSON object a line. Payload bytes are written in hex,
// so the line is valid JSON whatever they are. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

#include "velkctl/RecordLine.h"

// {"t":0.012345,"delta_ms":12.345,"code":"30000201","kind":"string","length":5,"bytes":"68656c6c6f"}
// Values carry "value" instead of "length" and "bytes"; a payload the bus no
// longer held adds "expired":true. No newline.
std::string FormatJsonLine(const RecordedMessage& message, uint64_t deltaMicros, bool expired);
