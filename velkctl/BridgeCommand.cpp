#include "velkctl/BridgeCommand.h"

#include <stdio.h>

#include "bus/SubscriptionMask.h"
#include "velkctl/BridgeLine.h"
#include "velkctl/Commands.h"
#include "velkctl/Duration.h"

void AddBridgeCommand(CLI::App& app, BridgeArguments* args)
{
    CLI::App* bridge = app.add_subcommand(
        "bridge", "join this bus to others: messages out as JSON lines on stdout, lines from stdin posted");
    bridge->add_option("--origin", args->origin, "this bus's name on the network, 1 to 64 of A-Z a-z 0-9 _ . -")
        ->required()
        ->type_name("NAME");
    bridge->add_option("--stats", args->stats, "print the counts on stderr every D, like 10s")->type_name("DURATION");
    bridge->add_flag("--exit-on-eof", args->exitOnEof, "end when standard input ends (default: go on publishing)");
    bridge->footer("Example:\n"
                   "  mosquitto_sub -h BROKER -t \"velk/#\" | velkctl bridge --origin lab1 | mosquitto_pub -h BROKER -l -t velk/lab1\n"
                   "    joins this bus to every other bus bridged through BROKER (docs/bridge.md)");
}

int PrepareBridge(const BridgeArguments& args, BridgeOptions* options)
{
    if (!IsBridgeName(args.origin)) {
        fprintf(stderr, "velkctl: bad origin '%s': expected 1 to 64 of A-Z a-z 0-9 _ . -\n", args.origin.c_str());
        return kExitUsage;
    }
    options->origin = args.origin;
    options->mask = AllSubscriptionBits();
    options->exitOnEof = args.exitOnEof;
    if (!args.stats.empty()) {
        std::string error;
        if (!ParseDuration(args.stats, &options->statsMicros, &error) || options->statsMicros == 0) {
            fprintf(stderr, "velkctl: --stats: %s\n", error.empty() ? "must be more than 0" : error.c_str());
            return kExitUsage;
        }
    }
    return kExitOk;
}
