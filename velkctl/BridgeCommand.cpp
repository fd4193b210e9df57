// velkctl bridge --origin NAME [filters] [--accept FILTERS] [--topic-prefix P] [--batch N] [--stats D] [--exit-on-eof]
#include <memory>
#include <string>

#include "common/Escapes.h"
#include "velkctl/BridgeBatch.h"
#include "velkctl/BridgeLine.h"
#include "velkctl/BridgeTopic.h"
#include "velkctl/Bridge.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/FilterOptions.h"
#include "client/ProgramMessages.h"

namespace {

// --accept's text is read with the receiving commands' own filter options.
bool MakeAcceptFilter(const std::string& text, MessageFilter* filter)
{
    CLI::App accept("--accept");
    FilterArguments args;
    AddFilterOptions(&accept, &args);
    try {
        accept.parse(text, false);
    } catch (const CLI::ParseError& error) {
        PrintMessage("velkctl: bad --accept %s: %s; expected filters like \"--type CTL --channel 3\"\n",
                     QuoteInput(text).c_str(), error.what());
        return false;
    }
    if (args.codes.empty() && args.channels.empty() && args.types.empty()) {
        PrintMessage("velkctl: bad --accept %s: no --code, --channel or --type in it\n", QuoteInput(text).c_str());
        return false;
    }
    return MakeFilter(args, filter);
}

class BridgeCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("--origin", origin_, N_("this bus's name on the network, 1 to 64 of A-Z a-z 0-9 _ . -"))
            ->required()
            ->type_name("NAME");
        AddFilterOptions(command, &send_);
        command->add_option("--accept", accept_,
                            N_("what the network may post here, as filters in one argument, like \"--type DEP --type CTL\" "
                               "(default: everything but CONTROL, which only a filter naming it lets in)"))
            ->type_name("FILTERS");
        command->add_option("--topic-prefix", topicPrefix_,
                            N_("read lines as mosquitto_sub -F %j prints them, the topic and the payload in JSON, "
                               "and refuse those whose topic is not PREFIX and their origin, like velk/"))
            ->type_name("PREFIX");
        command->add_option("--batch", batchLines_,
                            N_("at most N messages in one line when the bus delivers faster than lines go out "
                               "(default 100; 1: one message a line, as older bridges read them)"))
            ->type_name("N");
        command->add_option("--stats", stats_, N_("print the counts on stderr every D, like 10s"))->type_name("DURATION");
        command->add_flag("--exit-on-eof", options_.exitOnEof, N_("end when standard input ends (default: go on publishing)"));
        command->footer(N_("Example:\n"
                           "  mosquitto_sub -h BROKER -F %j -t \"velk/#\" | velkctl bridge --origin lab1 --topic-prefix velk/ | "
                           "mosquitto_pub -h BROKER -i lab1 -l -t velk/lab1\n"
                           "    joins this bus to every other bus bridged through BROKER (docs/bridge.md)"));
    }

    int Prepare(const CLI::App& command) override
    {
        if (!IsBridgeName(origin_)) {
            PrintMessage("velkctl: bad origin %s: expected 1 to 64 of A-Z a-z 0-9 _ . -\n", QuoteInput(origin_).c_str());
            return kExitUsage;
        }
        options_.origin = origin_;
        if (!MakeFilter(send_, &options_.send))
            return kExitUsage;
        options_.accept.given = Given(&command, "--accept");
        if (options_.accept.given && !MakeAcceptFilter(accept_, &options_.accept.filter))
            return kExitUsage;
        if (Given(&command, "--topic-prefix") && !IsTopicPrefix(topicPrefix_)) {
            PrintMessage("velkctl: bad --topic-prefix %s: expected a topic ending in /, without + # or spaces, "
                            "like velk/\n", QuoteInput(topicPrefix_).c_str());
            return kExitUsage;
        }
        options_.topicPrefix = topicPrefix_;
        if (batchLines_ < 1 || batchLines_ > kMaxBatchLines) {
            PrintMessage("velkctl: bad --batch %lld: expected 1 to %d\n", batchLines_, static_cast<int>(kMaxBatchLines));
            return kExitUsage;
        }
        options_.batchLines = static_cast<size_t>(batchLines_);
        if (!stats_.empty() && !DurationOption(stats_, "stats interval", true, &options_.statsMicros))
            return kExitUsage;
        return kExitOk;
    }

    int Run(const BusSession* session) override
    {
        return RunBridge(session->bus, session->window, options_);
    }

private:
    std::string origin_, stats_, accept_, topicPrefix_;
    long long batchLines_ = kDefaultBatchLines;
    FilterArguments send_;
    BridgeOptions options_;
};

} // namespace

std::unique_ptr<Command> MakeBridgeCommand()
{
    return std::unique_ptr<Command>(new BridgeCommand);
}
