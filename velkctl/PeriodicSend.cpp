#include "velkctl/PeriodicSend.h"

#include <stdio.h>

#include "velkctl/CommandOutcome.h"
#include "windows/Clock.h"
#include "formats/Schedule.h"
#include "windows/StopSignal.h"

uint64_t SendOnDeadlines(const char* verb, uint64_t count, const std::function<uint64_t(uint64_t)>& offsetMicros,
                         const std::function<bool(uint64_t)>& send)
{
    CatchStopRequests();
    FineTimerResolution resolution;
    const uint64_t rate = ClockTicksPerSecond();
    const uint64_t start = ClockTicks();
    uint64_t sent = 0;
    uint64_t lastSent = start;
    while (sent < count) {
        if (!WaitForDeadline(start + MicrosToTicks(offsetMicros(sent), rate)) || !send(sent))
            break;
        lastSent = ClockTicks();
        ++sent;
    }
    std::string summary = FormatSendSummary(verb, sent, static_cast<uint64_t>(TicksToMicros(
                                                            static_cast<int64_t>(lastSent - start), rate)));
    fprintf(stderr, "velkctl: %s%s\n", summary.c_str(), StopRequested() ? ", stopped" : "");
    StopHandled();
    return sent;
}

int SendPeriodically(const char* command, const PeriodicOptions& options, const std::function<int()>& post)
{
    int exitCode = kExitOk;
    SendOnDeadlines("sent", options.count == 0 ? kSendUntilStopped : options.count,
                    [&](uint64_t n) { return n * options.everyMicros; },
                    [&](uint64_t) {
                        int result = post();
                        exitCode = CheckedResult(command, result);
                        return exitCode == kExitOk;
                    });
    return exitCode;
}

int SendOnceOrPeriodically(const BusBinding& bus, const char* command, const PeriodicOptions& options,
                           const std::function<int()>& post)
{
    bool once = options.count == 1 && options.everyMicros == 0;
    int exitCode = once ? CheckedResult(command, post()) : SendPeriodically(command, options, post);
    if (exitCode == kExitOk)
        NoteIfBusEndsWithVelkctl(bus, once ? "this message is lost" : "these messages are lost");
    return exitCode;
}
