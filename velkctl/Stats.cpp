#include "velkctl/Stats.h"

#include <inttypes.h>
#include <stdio.h>

#include "velk/VelkApi.h"
#include "common/FormatText.h"
#include "protocol/BusCounters.h"
#include "windows/Clock.h"
#include "velkctl/CodeStats.h"
#include "velkctl/CommandOutcome.h"
#include "client/ReceiveLoop.h"
#include "windows/StopSignal.h"

namespace {

const size_t kCodesShown = 20;

class StatsSink : public MessageSink {
public:
    StatsSink(const BusBinding& bus, uint64_t intervals, bool filtering)
        : bus_(bus), intervals_(intervals), filtering_(filtering), started_(ClockTicks()),
          counters_(ReadCounters(bus)) {}

    void Receive(UINT code, LPARAM) override { stats_.Count(code); }
    void FilteredOut(UINT) override { ++filteredOut_; }

    bool Tick() override
    {
        Print();
        return intervals_ == 0 || shown_ < intervals_;
    }

    // The interval cut short by the end, if anything happened in it.
    void Finish()
    {
        if (stats_.Total() != 0 || filteredOut_ != 0 || shown_ == 0)
            Print();
    }

private:
    void Print()
    {
        uint64_t now = ClockTicks();
        uint64_t micros = ClockMicrosSince(started_);
        started_ = now;
        CounterValues counters = ReadCounters(bus_);
        bool losing = false;
        std::string change = FormatCounterChange(counters_, counters, &losing);
        counters_ = counters;
        ++shown_;
        std::string filtered = filtering_ ? FormatText("  filtered out: %" PRIu64 "\n", filteredOut_) : "";
        printf("interval %" PRIu64 ": %s%s  bus: %s\n", shown_, stats_.Format(micros, kCodesShown).c_str(),
               filtered.c_str(), change.c_str());
        fflush(stdout);
        stats_.Clear();
        filteredOut_ = 0;
    }

    const BusBinding& bus_;
    uint64_t intervals_;
    bool filtering_;
    uint64_t filteredOut_ = 0;
    uint64_t started_;
    CounterValues counters_;
    CodeStats stats_;
    uint64_t shown_ = 0;
};

} // namespace

int ShowStatistics(const BusBinding& bus, HWND window, const StatsOptions& options)
{
    CatchStopRequests();
    const bool filtering = !options.filter.PassesAll();
    StatsSink sink(bus, options.count, filtering);
    ReceiveOptions receive = { options.mask, 0, 0, options.intervalMicros, filtering ? &options.filter : NULL };
    int end = ReceiveBusMessages(bus, window, receive, &sink);
    if (end < 0) {
        StopHandled();
        fprintf(stderr, "velkctl: stats refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    if (end != kReceiveStopped || StopRequested())
        sink.Finish();
    StopHandled();
    return kExitOk;
}
