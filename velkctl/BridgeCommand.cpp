#include "velkctl/BridgeCommand.h"

#include <stdio.h>

#include "common/Escapes.h"
#include "formats/BridgeLine.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Commands.h"
#include "formats/Duration.h"

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
        fprintf(stderr, "velkctl: bad --accept %s: %s; expected filters like \"--type CTL --channel 3\"\n",
                QuoteInput(text).c_str(), error.what());
        return false;
    }
    if (args.codes.empty() && args.channels.empty() && args.types.empty()) {
        fprintf(stderr, "velkctl: bad --accept %s: no --code, --channel or --type in it\n", QuoteInput(text).c_str());
        return false;
    }
    return MakeFilter(args, filter);
}

} // namespace

void AddBridgeCommand(CLI::App& app, BridgeArguments* args)
{
    CLI::App* bridge = app.add_subcommand(
        "bridge", "join this bus to others: messages out as JSON lines on stdout, lines from stdin posted");
    bridge->add_option("--origin", args->origin, "this bus's name on the network, 1 to 64 of A-Z a-z 0-9 _ . -")
        ->required()
        ->type_name("NAME");
    AddFilterOptions(bridge, &args->send);
    bridge->add_option("--accept", args->accept,
                       "what the network may post here, as filters in one argument, like \"--type DEP --type CTL\" "
                       "(default: everything but CONTROL, which only a filter naming it lets in)")
        ->type_name("FILTERS");
    bridge->add_option("--stats", args->stats, "print the counts on stderr every D, like 10s")->type_name("DURATION");
    bridge->add_flag("--exit-on-eof", args->exitOnEof, "end when standard input ends (default: go on publishing)");
    bridge->footer("Example:\n"
                   "  mosquitto_sub -h BROKER -t \"velk/#\" | velkctl bridge --origin lab1 | mosquitto_pub -h BROKER -l -t velk/lab1\n"
                   "    joins this bus to every other bus bridged through BROKER (docs/bridge.md)");
}

int PrepareBridge(CLI::App& app, const BridgeArguments& args, BridgeOptions* options)
{
    if (!IsBridgeName(args.origin)) {
        fprintf(stderr, "velkctl: bad origin %s: expected 1 to 64 of A-Z a-z 0-9 _ . -\n", QuoteInput(args.origin).c_str());
        return kExitUsage;
    }
    options->origin = args.origin;
    options->exitOnEof = args.exitOnEof;
    if (!MakeFilter(args.send, &options->send))
        return kExitUsage;
    options->accept.given = Given(app.get_subcommand("bridge"), "--accept");
    if (options->accept.given && !MakeAcceptFilter(args.accept, &options->accept.filter))
        return kExitUsage;
    if (!args.stats.empty() && !DurationOption(args.stats, "stats interval", true, &options->statsMicros))
        return kExitUsage;
    return kExitOk;
}
