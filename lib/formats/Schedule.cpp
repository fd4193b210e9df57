#include "formats/Schedule.h"

#include <inttypes.h>
#include <math.h>

#include "common/FormatText.h"
#include "formats/NumberArgument.h"
#include "common/Catalogue.h"

namespace {

const uint64_t kMicrosPerSecond = 1000000;

} // namespace

uint64_t MicrosToTicks(uint64_t micros, uint64_t ticksPerSecond)
{
    return micros / kMicrosPerSecond * ticksPerSecond + micros % kMicrosPerSecond * ticksPerSecond / kMicrosPerSecond;
}

int64_t TicksToMicros(int64_t ticks, uint64_t ticksPerSecond)
{
    const int64_t rate = static_cast<int64_t>(ticksPerSecond);
    return ticks / rate * static_cast<int64_t>(kMicrosPerSecond) +
           ticks % rate * static_cast<int64_t>(kMicrosPerSecond) / rate;
}

bool ParseReplaySpeed(const std::string& text, double* speed)
{
    double value = 0;
    if (!ParseDecimalArgument(text, &value) || (value != 0 && (value < kMinReplaySpeed || value > kMaxReplaySpeed)))
        return false;
    *speed = value;
    return true;
}

void RecordingSpan::Add(uint64_t micros)
{
    if (messages == 0)
        firstMicros = micros;
    lastMicros = micros;
    ++messages;
}

ReplaySchedule::ReplaySchedule(const RecordingSpan& span, double speed)
    : firstMicros_(span.firstMicros), passMicros_(0), speed_(speed)
{
    if (span.messages > 1) {
        const uint64_t length = span.lastMicros - span.firstMicros;
        passMicros_ = length + length / (span.messages - 1);
    }
}

uint64_t ReplaySchedule::OffsetMicros(uint64_t pass, uint64_t micros) const
{
    if (speed_ <= 0)
        return 0;
    double recorded = static_cast<double>(pass) * static_cast<double>(passMicros_) +
                      static_cast<double>(micros - firstMicros_);
    return static_cast<uint64_t>(llround(recorded / speed_));
}

std::string FormatSendSummary(const char* verb, uint64_t messages, uint64_t micros)
{
    std::string text = FormatText(N_("%s %s in %.3f s"), verb, CountOf(messages, "message").c_str(),
                                  static_cast<double>(micros) / 1e6);
    if (messages > 1 && micros > 0)
        text = FormatText(N_("%s (%.1f msg/s)"), text.c_str(), static_cast<double>(messages - 1) * 1e6 / static_cast<double>(micros));
    return text;
}
