// velkctl export FILE [--out OUT.csv] [--wide | --jsonl] [--from D] [--to D] [--signals FILE] [filters]: needs no bus.
#include <memory>
#include <string>

#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Export.h"
#include "velkctl/FilterOptions.h"
#include "common/Catalogue.h"
#include "client/ProgramMessages.h"

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
        command->add_flag("--jsonl", options_.jsonLines,
                          N_("one JSON object a line per message, as monitor --jsonl writes them, \"trigger\":true on "
                             "the message a trigger fired on: for scripts"))
            ->excludes("--wide");
        command->add_option("--from", from_,
                            N_("export only from this long after the recording's start, like 36h; the parts of a "
                               "series before it are not read"))
            ->type_name("DURATION");
        command->add_option("--to", to_, N_("export only up to this long after the recording's start, like 37h"))
            ->type_name("DURATION");
        AddSignalsOption(command, &signalsFile_);
        AddFilterOptions(command, &filter_);
        command->footer(N_("Example:\n"
                           "  velkctl export session.txt --type STR\n"
                           "    writes session.csv: a row per string message, with its local time and its text\n"
                           "  velkctl export session.txt --signals signals-example.toml\n"
                           "    adds name, signal, physical and unit: a row per signal, the raw columns on each\n"
                           "  velkctl export session.txt --wide --signals signals-example.toml\n"
                           "    a row per time step, a column per signal: motor.speed (rpm), motor.state, ...\n"
                           "  velkctl export session.txt --from 1s --to 2s\n"
                           "    only what came in the second second"));
    }

    int Prepare(const CLI::App& command) override
    {
        if (!MakeFilter(filter_, &options_.filter) ||
            (Given(&command, "--from") && !DurationOption(from_, "from", false, &options_.fromMicros)) ||
            (Given(&command, "--to") && !DurationOption(to_, "to", false, &options_.toMicros)))
            return kExitUsage;
        if (options_.toMicros < options_.fromMicros) {
            PrintMessage("velkctl: export: --to comes before --from\n");
            return kExitUsage;
        }
        return LoadSignalsOption(signalsFile_, &signals_, &options_.signals);
    }

    int Run(const BusSession*) override
    {
        return ExportRecording(options_);
    }

private:
    std::string signalsFile_, from_, to_;
    SignalDatabase signals_;
    FilterArguments filter_;
    ExportOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeExportCommand()
{
    return std::unique_ptr<Command>(new ExportCommand);
}
