// monitor --jsonl: one JSON object a line, in UTF-8. Payload bytes are
// written in hex, so the line is valid JSON whatever they are; a string
// payload has its text beside them. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

#include "common/PayloadText.h"
#include "formats/RecordLine.h"

// {"t":0.012345,"delta_ms":12.345,"code":"30000201","kind":"string","length":5,"bytes":"68656c6c6f","text":"hello"}
// "text" (string payloads only) is PayloadText of the bytes in codePage.
// Values carry "value" instead of "length", "bytes" and "text"; a payload
// the bus no longer held adds "expired":true. A localTime given
// ("2026-12-08T20:25:40.150+08:00") comes first, as "time". No newline.
std::string FormatJsonLine(const RecordedMessage& message, uint64_t deltaMicros, bool expired,
                           const CodePage& codePage, const std::string& localTime = std::string());

// The message's own members of that line, from "code" on, without braces:
// "code":"20000801","kind":"value","value":255. For lines that say more
// about a message (velkctl session's answers and events).
std::string FormatMessageMembers(const RecordedMessage& message, bool expired, const CodePage& codePage);

// Text as a JSON string in double quotes: '"' and '\\' escaped, control
// characters (C0, DEL, C1 and the bidirectional overrides of
// common/Escapes.h) as \uXXXX; other bytes as they are (UTF-8 in, UTF-8 out).
std::string JsonString(const std::string& text);
