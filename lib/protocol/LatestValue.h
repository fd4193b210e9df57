// A message's value as the live views show it in one cell: a value message's
// data word in signed decimal, a string as its text, an array as hex bytes;
// cut to a width. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

#include "common/Escapes.h"
#include "protocol/MessageCode.h"

// What a view keeps of the latest message of a code: enough bytes for any
// cell, and the payload's whole length.
enum { kLatestPayloadBytes = 64 };

struct LatestValue {
    MessageKind kind = kValueMessage;
    int32_t value = 0;          // value messages
    std::string bytes;          // payloads: at most kLatestPayloadBytes
    int32_t length = 0;         // payloads: the whole length
    bool expired = false;       // the payload was gone when fetched

    void Set(MessageKind messageKind, int32_t word, const char* payload, int32_t payloadLength);
    bool operator==(const LatestValue& other) const;
    bool operator!=(const LatestValue& other) const { return !(*this == other); }
};

// At most width bytes, never splitting a double-byte character: "-42",
// "hello\n" (control characters escaped as the log does, others as "."),
// "01 FF 3C". Cut text ends in "~"; an expired payload reads "(expired)".
std::string LatestValueText(const LatestValue& latest, size_t width, LeadByteTest isLeadByte);

// Any text cut the same way: at most width bytes, whole characters, "~"
// marking a cut.
std::string CutToWidth(const std::string& text, size_t width, LeadByteTest isLeadByte);
