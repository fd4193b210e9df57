// velkctl report FILE [--signals FILE] --out PAGE | --text [--out FILE]:
// needs no bus.
#include <memory>
#include <string>

#include "client/ProgramMessages.h"
#include "client/SignalsOption.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/CommandOutcome.h"
#include "velkctl/Report.h"

namespace {

class ReportCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", options_.path, N_("the recording, as velkctl record writes it ('-': standard input)"))->required();
        command->add_option("--signals", signalsFile_,
                            N_("the signal file, for per signal min/max/mean, limits, enums and charts (default: %VELK_SIGNALS%)"))
            ->type_name("FILE");
        command->add_option("--out", options_.out, N_("the page to write ('-' for standard output, where --text writes by default)"))
            ->type_name("FILE");
        command->add_flag("--text", options_.text, N_("plain text instead of an HTML page"));
        command->footer(N_("Example:\n"
                           "  velkctl report endurance.txt --signals signals-example.toml --out endurance.html\n"
                           "    one page to mail: per code its count, rate and gaps, !crc and !cnt, per signal\n"
                           "    min/max/mean, limit violations, enum transitions and a chart of the whole run\n"
                           "  velkctl report endurance.txt --signals signals-example.toml --text\n"
                           "    the same tables as text on standard output"));
    }

    int Prepare(const CLI::App&) override
    {
        if (options_.out.empty()) {
            if (!options_.text) {
                PrintMessage("velkctl: report needs --out PAGE (or --text for standard output)\n");
                return kExitUsage;
            }
            options_.out = "-";
        }
        const std::string file = SignalsFileToLoad(signalsFile_);
        int loaded = LoadSignalsFile(file, &signals_);
        if (loaded != kExitOk)
            return loaded;
        if (!file.empty()) {
            options_.signals = &signals_;
            options_.signalsFile = file;
        }
        return kExitOk;
    }

    int Run(const BusSession*) override
    {
        return ReportRecording(options_);
    }

private:
    ReportOptions options_;
    std::string signalsFile_;
    SignalDatabase signals_;
};

} // namespace

std::unique_ptr<Command> MakeReportCommand()
{
    return std::unique_ptr<Command>(new ReportCommand);
}
