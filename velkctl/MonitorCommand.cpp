// velkctl monitor [MASK] [--count N] [--timeout D | --duration D] [--time rel|abs|delta]
//                 [--jsonl] [--out FILE] [--signals FILE] [filters]
#include <inttypes.h>
#include <stdio.h>
#include <memory>
#include <string>

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/CommandOutcome.h"
#include "velkctl/FilterOptions.h"
#include "velkctl/Monitor.h"
#include "client/ProgramMessages.h"

namespace {

// planned: the time given is --duration's, whose end is no failure.
int Monitor(const BusBinding& bus, HWND window, const MonitorOptions& options, bool planned)
{
    int end = RunMonitor(bus, window, options);
    if (end < 0)
        return CheckedResult("monitor", end);
    if (end == kMonitorTimedOut && options.count != 0 && !planned) {
        PrintMessage("velkctl: monitor timed out before %s\n", CountOf(options.count, "message").c_str());
        return kExitTimedOut;
    }
    if (end == kMonitorFileFailed)
        return kExitIo;
    if (end == kMonitorSessionEnded)
        PrintMessage("velkctl: the session ended\n");
    return kExitOk;
}

class MonitorCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("MASK", mask_,
                            N_("type bits to receive: DEP 0x800, ADC 0x1000, WTC 0x2000, TMR 0x4000, CNT 0x8000, STR "
                               "0x200, ARR 0x400, CTL 0x800000, ABS 0x100; 0x0080FF00 is all nine (default: the types "
                               "the filters pass, else all nine)"));
        command->add_option("--count", count_, N_("stop after N messages shown (0: no limit; exit 4 if the timeout comes first)"));
        command->add_option("--timeout", timeout_, N_("stop after this long, like 30 (seconds), 500ms, 2m (0: no limit)"));
        command->add_option("--duration", duration_,
                            N_("stop after this long, like 500ms, 10 (seconds), 3m (at most 100 days)"));
        command->add_option("--time", time_,
                            N_("each line's time: rel (seconds since the start), abs (local time with its UTC offset) or "
                               "delta (milliseconds since the previous message); default: the console's"));
        command->footer(N_("Example:\n"
                           "  velkctl monitor --code 20001001 --count 10 --timeout 30\n"
                           "    prints the next 10 messages of code 20001001, waiting at most 30 s; Ctrl+C ends it sooner"));
        command->add_flag("--jsonl", options_.jsonLines, N_("one JSON object a line instead of the console's format"));
        command->add_option("--out", options_.outPath, N_("write the lines to FILE instead of standard output"));
        AddSignalsOption(command, &signalsFile_);
        AddFilterOptions(command, &filter_);
    }

    int Prepare(const CLI::App& command) override
    {
        int64_t count = 0;
        planned_ = Given(&command, "--duration");
        if (planned_ && Given(&command, "--timeout")) {
            PrintMessage("velkctl: monitor: --duration does not go with --timeout\n");
            return kExitUsage;
        }
        if (!MakeFilterAndMask(filter_, !mask_.empty(), mask_, &options_.filter, &options_.mask)
            || (!count_.empty() && !NumberOption(count_, "count", 0, INT64_MAX, &count))
            || (!timeout_.empty() && !DurationOption(timeout_, "timeout", false, &options_.timeoutMicros))
            || (planned_ && !DurationOption(duration_, "duration", true, &options_.timeoutMicros)))
            return kExitUsage;
        options_.count = static_cast<uint64_t>(count);
        if (!time_.empty() && !ParseMonitorTime(time_, &options_.time)) {
            PrintMessage("velkctl: bad time %s: expected rel, abs or delta\n", QuoteInput(time_).c_str());
            return kExitUsage;
        }
        return LoadSignalsOption(signalsFile_, &signals_, &options_.signals);
    }

    int Run(const BusSession* session) override
    {
        return Monitor(session->bus, session->window, options_, planned_);
    }

private:
    std::string mask_, count_, timeout_, duration_, time_, signalsFile_;
    bool planned_ = false;   // --duration given
    SignalDatabase signals_;
    FilterArguments filter_;
    MonitorOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeMonitorCommand()
{
    return std::unique_ptr<Command>(new MonitorCommand);
}
