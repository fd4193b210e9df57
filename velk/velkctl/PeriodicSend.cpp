#include "velk/velkctl/PeriodicSend.h"

#include <inttypes.h>
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
        ++sent;
    }
    double seconds = static_cast<double>(ClockMicrosSince(start)) / 1e6;
    fprintf(stderr, "velkctl: sent %" PRIu64 " messages in %.3f s (%.1f msg/s)%s\n", sent, seconds,
            seconds > 0 ? static_cast<double>(sent) / seconds : 0.0, StopRequested() ? ", stopped" : "");
    StopHandled();
    return exitCode;
}
