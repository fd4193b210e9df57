// velkctl clients, vars and counters: one of the library's information
// texts, once or with --watch.
#include <memory>
#include <string>

#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/ShowInformation.h"

namespace {

class ShowCommand : public Command {
public:
    ShowCommand(int selector, const char* example) : selector_(selector), example_(example) {}

    void AddOptions(CLI::App* command) override
    {
        command->footer(example_);
        command->add_flag("--watch", watch_, "print again, under the time, whenever it changes, until Ctrl+C");
        command->add_option("--interval", interval_, "with --watch: look this often (default 1s)");
        command->add_option("--count", count_, "with --watch: end after printing N times, 1 or more");
    }

    int Prepare(const CLI::App& command) override
    {
        options_.watch = watch_;
        if (!watch_ && (Given(&command, "--interval") || Given(&command, "--count"))) {
            fprintf(stderr, "velkctl: %s: --interval and --count go with --watch\n", command.get_name().c_str());
            return kExitUsage;
        }
        if (!interval_.empty() && !DurationOption(interval_, "interval", true, &options_.intervalMicros))
            return kExitUsage;
        int64_t count = 0;
        if (!count_.empty() && !NumberOption(count_, "count", 1, INT64_MAX, &count))
            return kExitUsage;
        options_.count = static_cast<uint64_t>(count);
        return kExitOk;
    }

    int Run(const BusSession* session) override
    {
        return ShowInformation(session->bus, selector_, options_);
    }

private:
    const int selector_;
    const char* const example_;
    bool watch_ = false;
    std::string interval_, count_;
    WatchOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeClientsCommand()
{
    return std::unique_ptr<Command>(new ShowCommand(kInfoHandles,
        "Example:\n"
        "  velkctl clients\n"
        "    10062 80ff00 test 288      a console (client name test) receiving all nine types"));
}

std::unique_ptr<Command> MakeVarsCommand()
{
    return std::unique_ptr<Command>(new ShowCommand(kInfoVariables,
        "Example:\n"
        "  velkctl vars --watch --interval 500ms\n"
        "    the 64 variables, INDEX=VALUE, and again, under the time, whenever one changes"));
}

std::unique_ptr<Command> MakeCountersCommand()
{
    return std::unique_ptr<Command>(new ShowCommand(kInfoFurther,
        "Example:\n"
        "  velkctl counters --watch --count 3\n"
        "    the counters now and the next two times they change"));
}
