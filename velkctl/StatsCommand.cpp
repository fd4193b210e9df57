// velkctl stats [--interval D] [--count N] [--mask M] [filters]
#include <memory>
#include <string>

#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/FilterOptions.h"
#include "velkctl/Stats.h"
#include "common/Catalogue.h"

namespace {

class StatsCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("--interval", interval_, N_("length of an interval (default 1s, at most 100 days)"));
        command->add_option("--count", count_, N_("stop after N intervals, 1 or more (default: at Ctrl+C)"));
        AddMaskOption(command, &mask_);
        AddFilterOptions(command, &filter_);
        command->footer(N_("Example:\n"
                           "  velkctl stats --interval 5s --count 3\n"
                           "    three 5-second intervals: messages per code, rates, the bus's losses"));
    }

    int Prepare(const CLI::App& command) override
    {
        options_.intervalMicros = 1000000;
        if (!MakeFilterAndMask(filter_, Given(&command, "--mask"), mask_, &options_.filter, &options_.mask) ||
            !CountOption(&command, count_, &options_.count) ||
            (Given(&command, "--interval") && !DurationOption(interval_, "interval", true, &options_.intervalMicros)))
            return kExitUsage;
        return kExitOk;
    }

    int Run(const BusSession* session) override
    {
        return ShowStatistics(session->bus, session->window, options_);
    }

private:
    std::string interval_, count_, mask_;
    FilterArguments filter_;
    StatsOptions options_ = {};
};

} // namespace

std::unique_ptr<Command> MakeStatsCommand()
{
    return std::unique_ptr<Command>(new StatsCommand);
}
