// velkctl's record format: text, one message a line, so that recordings diff
// and grep. Pure logic.
//
//   # velk record 1
//   # start 2026-12-08T17:12:03.123+08:00
//   0.000000 20000801 V 255
//   0.012345 30000201 S 68656c6c6f
//   0.031000 30000203 S -
//
// Seconds since the recording started (6 decimals), the code (8 hex digits),
// the kind as the console classifies the code (V, S, A), then the data word
// as signed 32-bit decimal for V, or the payload bytes in hex ('-' for none).
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "protocol/MessageCode.h"
#include "common/LocalTime.h"

extern const char kRecordHeader[];   // "# velk record 1", the first line of every recording
// record --trigger's comment line just before the message that fired it.
extern const char kTriggerMark[];    // "# trigger"
// The comment line record writes before a message whose payload had expired
// (its payload '-'): the reader sets the message's expired.
extern const char kExpiredNote[];    // "# the next message's payload had expired"

// Payloads the bus takes at most; a longer one in a file cannot be replayed.
enum { kMaxRecordedPayload = 64 * 1024 };

struct RecordedMessage {
    uint64_t micros;        // since the recording started
    uint32_t code;
    MessageKind kind;
    int32_t value;          // kValueMessage only
    std::string bytes;      // payload kinds only
    uint64_t line = 0;      // where a file held it
    bool expired = false;   // received: the payload was gone when fetched ('-' after kExpiredNote)
};

// The longest line a recording can hold: the longest payload in hex and the
// other fields, with room to spare. A longer line is not a record line.
enum { kMaxRecordLineBytes = 2 * kMaxRecordedPayload + 64 };

// "# start 2026-12-08T17:12:03.123+08:00": when the recording started, in
// local time with its offset (common/LocalTime.h).
std::string FormatStartLine(const WallTime& start);

// The time of a start line, either that or the UTC form of older
// recordings ("# start 2026-12-08T09:12:03.123Z"); false for any other line.
bool ParseStartLine(const std::string& line, WallTime* start);

// "<seconds> <code> <kind> <value or bytes>", without the newline.
std::string FormatRecordLine(const RecordedMessage& message);

// Every byte as two lower-case hex digits, no separators.
std::string FormatHexBytes(const std::string& bytes);

// The two back: a code of exactly 8 hex digits; bytes from pairs of hex
// digits of either case (none for none), at most kMaxRecordedPayload, else
// false with the fault in *error.
bool ParseHexCode(const std::string& text, uint32_t* code);
bool ParseHexBytes(const std::string& text, std::string* bytes, std::string* error);

// Seconds with 6 decimals, as the record and JSON lines write them.
std::string FormatSeconds(uint64_t micros);

// Milliseconds with 3 decimals, as JSON lines and monitor --time delta write
// a time between messages: 12.127.
std::string FormatMillis(uint64_t micros);

// One message line (not a comment, not blank, no line end): empty when
// good, else what is wrong, with at most a short piece of the line quoted.
// The reader (formats/RecordReader.h) checks the order of the times.
std::string ParseRecordLine(const std::string& line, RecordedMessage* message);
