// velkctl export FILE [--out OUT.csv] [filters]: needs no bus.
#include <memory>
#include <string>

#include "velkctl/Command.h"
#include "velkctl/Export.h"
#include "velkctl/FilterOptions.h"

namespace {

class ExportCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", options_.path, "the recording ('-': standard input)")->required();
        command->add_option("--out", options_.out,
                            "the CSV to make (default: FILE with .csv for its extension; '-': standard output)");
        AddFilterOptions(command, &filter_);
        command->footer("Example:\n"
                        "  velkctl export session.txt --type STR\n"
                        "    writes session.csv: a row per string message, with its local time and its text");
    }

    int Prepare(const CLI::App&) override
    {
        return MakeFilter(filter_, &options_.filter) ? kExitOk : kExitUsage;
    }

    int Run(const BusSession*) override
    {
        return ExportRecording(options_);
    }

private:
    FilterArguments filter_;
    ExportOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeExportCommand()
{
    return std::unique_ptr<Command>(new ExportCommand);
}
