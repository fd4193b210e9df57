// The receiving side of counters and checksums: a message whose checksum
// field does not match the bytes it covers is marked !crc, one whose counter
// is not one more than the last of its code (it skipped or repeated; the
// first of a code sets the count) !cnt. Pure logic: monitor, top, export,
// the session and velkscope keep one MessageChecks per stream of messages.
#pragma once
#include <stdint.h>
#include <string>
#include <unordered_map>

#include "signals/SignalDatabase.h"

struct MessageFaults {
    bool checksum = false;            // !crc
    bool checksumKnown = false;       // got: the field could be read; want: its bytes could
    bool checksumWanted = false;
    uint32_t checksumGot = 0, checksumWant = 0;
    bool counter = false;             // !cnt
    uint64_t counterGot = 0, counterWant = 0;

    bool Any() const { return checksum || counter; }
};

// Whether the message has a counter or a checksum to check.
bool HasChecks(const SignalMessage& message);

class MessageChecks {
public:
    // The faults of a message of the file (its value word, or its payload
    // bytes); its counter is remembered for the next message of its code. A
    // payload too short for the checksum is !crc; one too short for the
    // counter is not counted.
    MessageFaults Check(const SignalMessage& message, int32_t value, const std::string& bytes);
    // A message of the code was lost to velkctl (an expired payload): the
    // next one sets the count afresh rather than being marked.
    void Forget(uint32_t code) { last_.erase(code); }

private:
    std::unordered_map<uint32_t, uint64_t> last_;   // by code: the last counter seen
};

// "!crc !cnt", "!crc", "!cnt", or "" for none.
std::string FormatFaultMarks(const MessageFaults& faults);

// The JSON lines' "faults" object, only of what is wrong:
// {"crc":{"got":18,"want":95},"cnt":{"got":7,"want":5}}; a got or want the
// payload was too short for is null.
std::string FormatFaultsJson(const MessageFaults& faults);
