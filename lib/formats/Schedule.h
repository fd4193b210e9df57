// Absolute send deadlines for replay and periodic sends: every deadline is
// counted from the start, never from the previous send, so late sends do not
// add up to drift. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

// Microseconds in a high-resolution counter's ticks and back, without
// overflow for any span up to years.
uint64_t MicrosToTicks(uint64_t micros, uint64_t ticksPerSecond);
int64_t TicksToMicros(int64_t ticks, uint64_t ticksPerSecond);

// A replay: the recorded spacing divided by speed (0: every deadline is the
// start; otherwise at least kMinReplaySpeed), counted from the first message.
// A pass lasts from the first message to the last plus the mean spacing
// between them, so a periodic recording loops at its own period.
const double kMinReplaySpeed = 0.001;
const double kMaxReplaySpeed = 1000000;

// --speed X: 0, or a plain decimal number (formats/NumberArgument.h) from
// kMinReplaySpeed to kMaxReplaySpeed. A value too small to tell from 0
// ("1e-400") is out of range like any other, never taken for 0.
bool ParseReplaySpeed(const std::string& text, double* speed);

// What a replay's schedule needs of a recording, learnt in one pass over it.
struct RecordingSpan {
    uint64_t messages = 0;
    uint64_t firstMicros = 0;
    uint64_t lastMicros = 0;
    void Add(uint64_t micros);
};

class ReplaySchedule {
public:
    ReplaySchedule(const RecordingSpan& span, double speed);
    // Offset from the start of the message recorded at micros, in pass (from 0).
    uint64_t OffsetMicros(uint64_t pass, uint64_t micros) const;
    uint64_t PassMicros() const { return passMicros_; }

private:
    uint64_t firstMicros_;
    uint64_t passMicros_;
    double speed_;
};

// "sent 25 messages in 0.480 s (50.0 msg/s)": micros from the first deadline
// to the last send; the rate counts the spaces between sends, so 25 messages
// 20 ms apart make 50 a second.
std::string FormatSendSummary(const char* verb, uint64_t messages, uint64_t micros);
