// velkctl export FILE [--out OUT.csv] [--wide] [--signals FILE] [filters]: needs no bus.
#include <memory>
#include <string>

#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Export.h"
#include "velkctl/FilterOptions.h"
#include "common/Catalogue.h"

namespace {

class ExportCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", options_.path, N_("the recording ('-': standard input)"))->required();
        command->add_option("--out", options_.out,
                            N_("the CSV to make (default: FILE with .csv for its extension; '-': standard output)"));
        command->add_flag("--wide", options_.wide,
                          N_("one row per time step and one column per signal (or code), each cell the value in "
                             "force then, the units in the header: for a spreadsheet's chart"));
        AddSignalsOption(command, &signalsFile_);
        AddFilterOptions(command, &filter_);
        command->footer(N_("Example:\n"
                           "  velkctl export session.txt --type STR\n"
                           "    writes session.csv: a row per string message, with its local time and its text\n"
                           "  velkctl export session.txt --signals signals-example.toml\n"
                           "    adds name, signal, physical and unit: a row per signal, the raw columns on each\n"
                           "  velkctl export session.txt --wide --signals signals-example.toml\n"
                           "    a row per time step, a column per signal: motor.speed (rpm), motor.state, ..."));
    }

    int Prepare(const CLI::App&) override
    {
        if (!MakeFilter(filter_, &options_.filter))
            return kExitUsage;
        return LoadSignalsOption(signalsFile_, &signals_, &options_.signals);
    }

    int Run(const BusSession*) override
    {
        return ExportRecording(options_);
    }

private:
    std::string signalsFile_;
    SignalDatabase signals_;
    FilterArguments filter_;
    ExportOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeExportCommand()
{
    return std::unique_ptr<Command>(new ExportCommand);
}
