// velkctl top [--interval D] [--count N] [--mask M] [--signals FILE] [filters]
#include <memory>
#include <string>

#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/FilterOptions.h"
#include "velkctl/Top.h"
#include "client/ProgramMessages.h"

namespace {

class TopCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("--interval", interval_, N_("refresh this often, like 500ms or 2s (default 1s)"));
        command->add_option("--count", count_, N_("end after N intervals (default: at q or Ctrl+C)"));
        AddMaskOption(command, &mask_);
        AddSignalsOption(command, &signalsFile_);
        AddFilterOptions(command, &filter_);
        command->footer(N_("Keys in a console window: q quit, space pause/resume, c clear the counts, s sort by rate or code.\n"
                           "Into a file or pipe the table is printed once per interval, headed by the time.\n"
                           "Rows: * its value changed in the last interval, . silent for 10 intervals;\n"
                           "with a signal file a row per signal: ! beyond its min or max, ~ an interval over twice its period (~N: how many).\n"
                           "Example:\n"
                           "  velkctl top --interval 500ms\n"
                           "  velkctl top --count 3 > table.txt"));
    }

    int Prepare(const CLI::App& command) override
    {
        if (!MakeFilterAndMask(filter_, Given(&command, "--mask"), mask_, &options_.filter, &options_.mask))
            return kExitUsage;
        if (Given(&command, "--interval")) {
            if (!DurationOption(interval_, "interval", true, &options_.intervalMicros))
                return kExitUsage;
            if (options_.intervalMicros < 10000) {
                PrintMessage("velkctl: --interval '%s': at least 10ms\n", interval_.c_str());
                return kExitUsage;
            }
        }
        if (!CountOption(&command, count_, &options_.count))
            return kExitUsage;
        return LoadSignalsOption(signalsFile_, &signals_, &options_.signals);
    }

    int Run(const BusSession* session) override
    {
        return RunTop(session->bus, session->window, options_);
    }

private:
    std::string interval_, count_, mask_, signalsFile_;
    SignalDatabase signals_;
    FilterArguments filter_;
    TopOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeTopCommand()
{
    return std::unique_ptr<Command>(new TopCommand);
}
