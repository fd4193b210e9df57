// monitor --jsonl: one JSON object a line, in UTF-8. Payload bytes are
// written in hex, so the line is valid JSON whatever they are; a string
// payload has its text beside them. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

#include "common/PayloadText.h"
#include "formats/RecordLine.h"

// A text without control characters (PayloadText's) as a JSON string, in
// its double quotes.
std::string JsonString(const std::string& text);

// {"t":0.012345,"delta_ms":12.345,"code":"30000201","kind":"string","length":5,"bytes":"68656c6c6f","text":"hello"}
// "text" (string payloads only) is PayloadText of the bytes in codePage.
// Values carry "value" instead of "length", "bytes" and "text"; a payload
// the bus no longer held adds "expired":true. A localTime given
// ("2026-12-08T20:25:40.150+08:00") comes first, as "time". No newline.
std::string FormatJsonLine(const RecordedMessage& message, uint64_t deltaMicros, bool expired,
                           const CodePage& codePage, const std::string& localTime = std::string());
