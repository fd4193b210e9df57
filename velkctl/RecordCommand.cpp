// velkctl record FILE [--mask M] [--count N] [--duration D] [filters]
#include <memory>
#include <string>

#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/FilterOptions.h"
#include "velkctl/Record.h"

namespace {

class RecordCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", options_.path, "the recording to make ('-': standard output)")->required();
        AddMaskOption(command, &mask_);
        command->add_option("--count", count_, "stop after N messages recorded, 1 or more");
        command->add_option("--duration", duration_,
                            "stop after this long, like 500ms, 10 (seconds), 3m (at most 100 days)");
        AddFilterOptions(command, &filter_);
        command->footer("Example:\n"
                        "  velkctl record session.txt --duration 10s\n"
                        "    writes what comes in 10 s; Ctrl+C ends it sooner, the file whole");
    }

    int Prepare(const CLI::App& command) override
    {
        if (!MakeFilterAndMask(filter_, Given(&command, "--mask"), mask_, &options_.filter, &options_.mask) ||
            !CountOption(&command, count_, &options_.count) ||
            (Given(&command, "--duration") && !DurationOption(duration_, "duration", true, &options_.durationMicros)))
            return kExitUsage;
        return kExitOk;
    }

    int Run(const BusSession* session) override
    {
        return RecordMessages(session->bus, session->window, options_);
    }

private:
    std::string mask_, count_, duration_;
    FilterArguments filter_;
    RecordOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeRecordCommand()
{
    return std::unique_ptr<Command>(new RecordCommand);
}
