// velkctl signals check FILE | show FILE [NAME]: what a signal file says,
// or every mistake in it at its line. Needs no bus.
#include <stdio.h>

#include <memory>
#include <string>

#include "client/SignalsOption.h"
#include "common/Escapes.h"
#include "velkctl/SignalTable.h"
#include "velkctl/Command.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"

namespace {

class SignalsCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("ACTION", action_, N_("check: the file's mistakes, or how many messages and signals it has; "
                                                  "show: its table, or one message or signal with its byte layout"))
            ->required();
        command->add_option("FILE", file_, N_("the signal file (TOML, docs/signals.md)"))->required();
        command->add_option("NAME", name_, N_("show: the message or signal to show (motor.speed, pump.status, pump.status.pressure)"));
        command->footer(N_("Example:\n"
                           "  velkctl signals check signals-example.toml\n"
                           "    6 messages, 11 signals; or each mistake as signals-example.toml:LINE:COLUMN: what is wrong\n"
                           "  velkctl signals show signals-example.toml pump.status"));
    }

    int Prepare(const CLI::App& command) override
    {
        if (action_ != "check" && action_ != "show") {
            PrintMessage("velkctl: signals: unknown action %s: expected check or show\n", QuoteInput(action_).c_str());
            return kExitUsage;
        }
        if (action_ == "check" && command.count("NAME") != 0) {
            PrintMessage("velkctl: signals check takes no NAME\n");
            return kExitUsage;
        }
        return kExitOk;
    }

    int Run(const BusSession*) override
    {
        SignalDatabase database;
        int loaded = LoadSignalsFile(file_, &database);
        if (loaded != kExitOk)
            return loaded;
        std::string shown;
        if (action_ == "check") {
            shown = SignalSummary(database) + "\n";
        } else if (name_.empty()) {
            shown = FormatSignalTable(database);
        } else {
            std::string error;
            if (!FormatSignalDetail(database, Utf8FromSystem(name_), &shown, &error)) {
                PrintMessage("velkctl: %s\n", SystemFromUtf8(error).c_str());
                return kExitUsage;
            }
        }
        fputs(SystemFromUtf8(shown).c_str(), stdout);
        return kExitOk;
    }

private:
    std::string action_, file_, name_;
};

} // namespace

std::unique_ptr<Command> MakeSignalsCommand()
{
    return std::unique_ptr<Command>(new SignalsCommand);
}
