#include "velkctl/ShowInformation.h"

#include <stdio.h>

#include "windows/Clock.h"
#include "velkctl/CommandOutcome.h"
#include "common/LocalTime.h"
#include "formats/Schedule.h"
#include "windows/StopSignal.h"

namespace {

// The library's texts end their lines with "\r\n"; stdout adds the "\r" itself.
std::string WithoutCarriageReturns(const char* text)
{
    std::string lines;
    for (; text != NULL && *text != '\0'; ++text) {
        if (*text != '\r')
            lines += *text;
    }
    return lines;
}

} // namespace

std::string LocalTimeLine()
{
    return "-- " + FormatLocalTime(WallClockNow()) + " --\n";
}

int ShowInformation(const BusBinding& bus, int selector, const WatchOptions& options)
{
    std::string shown = WithoutCarriageReturns(bus.vGetInfo(selector));
    if (!options.watch) {
        fputs(shown.c_str(), stdout);
        return kExitOk;
    }
    // Read again on absolute deadlines; printed only when it changed.
    CatchStopRequests();
    const uint64_t rate = ClockTicksPerSecond();
    const uint64_t start = ClockTicks();
    uint64_t printed = 0;
    for (uint64_t looks = 1;; ++looks) {
        std::string now = looks == 1 ? shown : WithoutCarriageReturns(bus.vGetInfo(selector));
        if (looks == 1 || now != shown) {
            shown = now;
            fputs((LocalTimeLine() + shown).c_str(), stdout);
            if (fflush(stdout) != 0 || (options.count != 0 && ++printed == options.count))
                break;
        }
        if (!WaitForDeadline(start + MicrosToTicks(looks * options.intervalMicros, rate)))
            break;   // Ctrl+C
    }
    StopHandled();
    return kExitOk;
}
