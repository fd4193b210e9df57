// A record file's message line and start line: what parses writes back to
// a line that parses to the same message, and the line written is stable.
#include "tests/fuzz/FuzzTargets.h"

#include "formats/RecordLine.h"

namespace {

bool Same(const RecordedMessage& a, const RecordedMessage& b)
{
    return a.micros == b.micros && a.code == b.code && a.kind == b.kind &&
           (a.kind != kValueMessage || a.value == b.value) && a.bytes == b.bytes;
}

} // namespace

void FuzzRecordLine(const uint8_t* data, size_t size)
{
    const std::string line = FuzzText(data, size);
    RecordedMessage message = {};
    std::string error = ParseRecordLine(line, &message);
    if (!error.empty()) {
        // A short message whatever the line: only a piece of it is quoted.
        FUZZ_CHECK(error.size() < 400);
    } else {
        FUZZ_CHECK(message.bytes.size() <= kMaxRecordedPayload);
        FUZZ_CHECK(message.kind != kValueMessage || message.bytes.empty());
        const std::string written = FormatRecordLine(message);
        FUZZ_CHECK(written.size() <= kMaxRecordLineBytes);
        RecordedMessage again = {};
        FUZZ_CHECK(ParseRecordLine(written, &again).empty());
        FUZZ_CHECK(Same(message, again));
        FUZZ_CHECK(FormatRecordLine(again) == written);
    }

    WallTime start = { 12345, 67 };
    const WallTime untouched = start;
    if (ParseStartLine(line, &start)) {
        WallTime again = untouched;
        const std::string written = FormatStartLine(start);
        FUZZ_CHECK(ParseStartLine(written, &again));
        FUZZ_CHECK(again.offsetMinutes == start.offsetMinutes);
        FUZZ_CHECK(FormatStartLine(again) == written);
    } else {
        FUZZ_CHECK(start.utcMicros == untouched.utcMicros && start.offsetMinutes == untouched.offsetMinutes);
    }
}
