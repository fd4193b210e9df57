#include "velkctl/PeriodicArguments.h"

#include "velkctl/CommandLine.h"
#include "common/Catalogue.h"

void AddPeriodicOptions(CLI::App* command, PeriodicArguments* args)
{
    command->add_option("--every", args->every, N_("send again every D, like 20ms (until Ctrl+C without --count)"));
    command->add_option("--count", args->count, N_("send N times, 1 or more (back to back without --every)"));
}

bool MakePeriodicOptions(const CLI::App& command, const PeriodicArguments& args, PeriodicOptions* options)
{
    *options = PeriodicOptions{ 0, 1 };
    if (Given(&command, "--every") && !DurationOption(args.every, "--every", true, &options->everyMicros))
        return false;
    if (!CountOption(&command, args.count, &options->count))
        return false;
    if (!Given(&command, "--count"))
        options->count = Given(&command, "--every") ? 0 : 1;
    return true;
}
