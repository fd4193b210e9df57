// velkctl simulate FILE [--only NAME...] [--except NAME...] [--duration D]
#include <memory>
#include <string>
#include <vector>

#include "client/InputFile.h"
#include "client/ProgramMessages.h"
#include "client/SignalsOption.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Simulate.h"
#include "windows/SystemCodePage.h"

namespace {

class SimulateCommand : public Command {
public:
    SimulateCommand() : simulation_(database_, GbkFromUtf8) {}

    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", file_, N_("the signal file (TOML, docs/signals.md): its messages with a period are sent"))
            ->required();
        CLI::Option* only = command->add_option("--only", only_, N_("send only these messages, by name"))->type_name("NAME");
        command->add_option("--except", except_, N_("send all but these messages"))->type_name("NAME")->excludes(only);
        command->add_option("--duration", duration_, N_("end after this long, like 60s (then the end of input does not end it)"));
        command->footer(N_("Each message is sent from its init values, its counter counting and its checksum written,\n"
                           "until Ctrl+C, --duration or the end of standard input. Lines on standard input change it,\n"
                           "each answered with a JSON line (docs/simulate.md):\n"
                           "  {\"op\":\"set\",\"signal\":\"motor.speed\",\"value\":150}\n"
                           "  {\"op\":\"stop\",\"message\":\"motor.state\"}   {\"op\":\"start\"}   "
                           "{\"op\":\"period\",\"message\":\"motor.speed\",\"period\":\"50ms\"}\n"
                           "The summary on stderr has a line per message sent: sent, overruns, period error mean, p99 and max;\n"
                           "past 10 messages, a line of totals and the 10 worst.\n"
                           "Example:\n"
                           "  velkctl simulate signals-example.toml --only motor.speed motor.state --duration 5s"));
    }

    // Everything is checked before the bus is attached: a mistake sends nothing.
    int Prepare(const CLI::App& command) override
    {
        int loaded = LoadSignalsFile(file_, &database_);
        if (loaded != kExitOk)
            return loaded;
        std::string error;
        // The names as the file holds them, UTF-8; the mistakes as the console shows text.
        if (!simulation_.Prepare(Utf8FromSystem(InputFileName(file_)), &error) ||
            !simulation_.Choose(Utf8(only_), Utf8(except_), &error)) {
            PrintMessage("velkctl: simulate: %s\n", SystemFromUtf8(error).c_str());
            return kExitUsage;
        }
        if (Given(&command, "--duration") && !DurationOption(duration_, "duration", true, &options_.durationMicros))
            return kExitUsage;
        return kExitOk;
    }

    int Run(const BusSession* session) override
    {
        return RunSimulate(session->bus, session->window, &simulation_, options_);
    }

private:
    static std::vector<std::string> Utf8(const std::vector<std::string>& names)
    {
        std::vector<std::string> converted;
        for (const std::string& name : names)
            converted.push_back(Utf8FromSystem(name));
        return converted;
    }

    std::string file_, duration_;
    std::vector<std::string> only_, except_;
    SignalDatabase database_;
    Simulation simulation_;
    SimulateOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeSimulateCommand()
{
    return std::unique_ptr<Command>(new SimulateCommand);
}
