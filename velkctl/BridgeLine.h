// velkctl bridge's lines: monitor --jsonl's object plus where it comes from,
// one message a line, both ways. Pure logic.
//
//   {"t":1.5,"delta_ms":2.0,"code":"30000201","kind":"string","length":2,"bytes":"6869",
//    "origin":"lab1","run":"5f0c2a9e81d4b7c3","seq":17}
//
// Read back strictly: a line from the network is untrusted input.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "common/JsonObject.h"
#include "protocol/MessageCode.h"

// The longest input line read; anything longer is refused without being
// kept. A 64 KiB payload in hex, with its text beside it, fits well.
enum { kMaxBridgeLine = 1 << 20 };

struct BridgeMessage {
    std::string origin;
    std::string run;        // with seq, or neither: a line typed by hand has none
    uint64_t seq;
    uint32_t code;
    MessageKind kind;
    int32_t value;          // kValueMessage only
    std::string bytes;      // payload kinds only
    bool expired;           // the origin's bus no longer held the payload: no bytes
};

// An origin or run: 1 to 64 of A-Z a-z 0-9 _ . - (so it is one MQTT topic level).
bool IsBridgeName(const std::string& name);

// The bridge's line for a monitor --jsonl object: origin, run and seq added
// at its end.
std::string FormatBridgeLine(const std::string& jsonObject, const std::string& origin, const std::string& run,
                             uint64_t seq);

// One input line (without its newline). Required: "origin", "code" (8 hex
// digits), "kind" (value, string, array: the one the code classifies as),
// then "value" (32-bit integer) or "bytes" (hex, at most 64 KiB) unless
// "expired" is true; "run" and "seq" (1 to 2^53) together or not at all; a
// "length" must match the bytes. Other members ("t", "delta_ms", "text",
// anything else) are checked as JSON and ignored. False with what is wrong.
bool ParseBridgeLine(const char* text, size_t length, BridgeMessage* message, std::string* error);
// The same for a line already read as a JSON object.
bool ReadBridgeMembers(const std::vector<JsonMember>& members, BridgeMessage* message, std::string* error);
