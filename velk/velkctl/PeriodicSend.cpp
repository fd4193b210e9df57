#include "velk/velkctl/PeriodicSend.h"

#include <stdio.h>

#include "velk/velkctl/Clock.h"
#include "velk/velkctl/Commands.h"
#include "velk/velkctl/Schedule.h"
#include "velk/velkctl/StopSignal.h"

int SendPeriodically(const char* command, const PeriodicOptions& options, const std::function<int()>& post)
{
    CatchStopRequests();
    FineTimerResolution resolution;
    const uint64_t rate = ClockTicksPerSecond();
    const uint64_t start = ClockTicks();
    uint64_t sent = 0;
    uint64_t lastSent = start;
    int exitCode = kExitOk;
    while (options.count == 0 || sent < options.count) {
        if (!WaitForDeadline(start + MicrosToTicks(sent * options.everyMicros, rate)))
            break;
        int result = post();
        if (result < 0) {
            fprintf(stderr, "velkctl: %s refused: %s (%d)\n", command, VelkResultText(result), result);
            exitCode = kExitRefused;
            break;
        }
        lastSent = ClockTicks();
        ++sent;
    }
    std::string summary = FormatSendSummary("sent", sent, static_cast<uint64_t>(TicksToMicros(
                                                              static_cast<int64_t>(lastSent - start), rate)));
    fprintf(stderr, "velkctl: %s%s\n", summary.c_str(), StopRequested() ? ", stopped" : "");
    StopHandled();
    return exitCode;
}
