#include "velkctl/WorkbenchCommands.h"

#include <stdio.h>

#include "common/Escapes.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Commands.h"
#include "formats/Duration.h"
#include "formats/NumberArgument.h"
#include "formats/Schedule.h"

namespace {

// The commands that send again and again with --every and --count.
const char* const kPeriodicCommands[] = { "post", "send-str", "send-arr" };

// The filter, and the subscription mask: --mask, else what the filter needs.
bool FilterAndMask(CLI::App* command, const WorkbenchArguments& args, MessageFilter* filter, uint32_t* mask)
{
    return MakeFilterAndMask(args.filter, Given(command, "--mask"), args.mask, filter, mask);
}

bool Speed(const std::string& text, double* speed)
{
    if (!ParseReplaySpeed(text, speed)) {
        fprintf(stderr, "velkctl: bad speed %s: expected 0 (as fast as the bus takes them) or a number from %g to %.0f\n",
                QuoteInput(text).c_str(), kMinReplaySpeed, kMaxReplaySpeed);
        return false;
    }
    return true;
}

} // namespace

void AddWorkbenchCommands(CLI::App& app, WorkbenchArguments* args)
{
    CLI::App* record = app.add_subcommand("record", "write every message received to FILE, one line each");
    record->add_option("FILE", args->file, "the recording to make ('-': standard output)")->required();
    AddMaskOption(record, &args->mask);
    record->add_option("--count", args->count, "stop after N messages recorded, 1 or more");
    record->add_option("--duration", args->duration, "stop after this long, like 500ms, 10 (seconds), 3m (at most 100 days)");
    AddFilterOptions(record, &args->filter);
    record->footer("Example:\n"
                   "  velkctl record session.txt --duration 10s\n"
                   "    writes what comes in 10 s; Ctrl+C ends it sooner, the file whole");

    CLI::App* replay = app.add_subcommand("replay", "post a recording's messages again with their recorded spacing");
    replay->add_option("FILE", args->file, "the recording ('-': standard input)")->required();
    replay->add_option("--speed", args->speed,
                       "recorded spacing divided by X, 0.001 to 1000000 (default 1; 0: as fast as the bus takes them)");
    replay->add_option("--loop", args->loops, "play the file N times (default 1; 0: until Ctrl+C)");
    replay->footer("Example:\n"
                   "  velkctl replay session.txt --speed 2\n"
                   "    posts the recorded messages again, twice as fast");

    CLI::App* stats = app.add_subcommand("stats", "messages per code, total rate and the bus counters, every interval");
    stats->add_option("--interval", args->interval, "length of an interval (default 1s, at most 100 days)");
    stats->add_option("--count", args->count, "stop after N intervals, 1 or more (default: at Ctrl+C)");
    AddMaskOption(stats, &args->mask);
    AddFilterOptions(stats, &args->filter);
    stats->footer("Example:\n"
                  "  velkctl stats --interval 5s --count 3\n"
                  "    three 5-second intervals: messages per code, rates, the bus's losses");

    CLI::App* exportCsv = app.add_subcommand("export", "write a recording as CSV for Excel or LibreOffice");
    exportCsv->add_option("FILE", args->file, "the recording ('-': standard input)")->required();
    exportCsv->add_option("--out", args->out,
                          "the CSV to make (default: FILE with .csv for its extension; '-': standard output)");
    AddFilterOptions(exportCsv, &args->filter);
    exportCsv->footer("Example:\n"
                      "  velkctl export session.txt --type STR\n"
                      "    writes session.csv: a row per string message, with its local time and its text");

    for (const char* name : kPeriodicCommands) {
        CLI::App* command = app.get_subcommand(name);
        command->add_option("--every", args->every, "send again every D, like 20ms (until Ctrl+C without --count)");
        command->add_option("--count", args->count, "send N times, 1 or more (back to back without --every)");
    }

    CLI::App* monitor = app.get_subcommand("monitor");
    monitor->add_flag("--jsonl", args->jsonLines, "one JSON object a line instead of the console's format");
    monitor->add_option("--out", args->out, "write the lines to FILE instead of standard output");
    AddFilterOptions(monitor, &args->filter);
}

int PrepareWorkbench(CLI::App& app, const WorkbenchArguments& args, WorkbenchRequest* request)
{
    if (app.got_subcommand("record")) {
        CLI::App* command = app.get_subcommand("record");
        RecordOptions& record = request->record;
        record.path = args.file;
        if (!FilterAndMask(command, args, &record.filter, &record.mask) ||
            !CountOption(command, args.count, &record.count) ||
            (Given(command, "--duration") && !DurationOption(args.duration, "duration", true, &record.durationMicros)))
            return kExitUsage;
        return 0;
    }
    if (app.got_subcommand("replay")) {
        CLI::App* command = app.get_subcommand("replay");
        int64_t loops = 1;
        if ((Given(command, "--speed") && !Speed(args.speed, &request->replay.speed)) ||
            (Given(command, "--loop") && !NumberOption(args.loops, "loop count", 0, INT64_MAX, &loops)))
            return kExitUsage;
        request->replay.loops = static_cast<uint64_t>(loops);
        // The whole file is checked before anything is posted.
        return CheckRecording(args.file, &request->recording);
    }
    if (app.got_subcommand("export")) {
        request->exportCsv.path = args.file;
        request->exportCsv.out = args.out;
        return MakeFilter(args.filter, &request->exportCsv.filter) ? 0 : kExitUsage;
    }
    if (app.got_subcommand("stats")) {
        CLI::App* command = app.get_subcommand("stats");
        StatsOptions& stats = request->stats;
        stats.intervalMicros = 1000000;
        if (!FilterAndMask(command, args, &stats.filter, &stats.mask) ||
            !CountOption(command, args.count, &stats.count) ||
            (Given(command, "--interval") && !DurationOption(args.interval, "interval", true, &stats.intervalMicros)))
            return kExitUsage;
        return 0;
    }
    for (const char* name : kPeriodicCommands) {
        if (!app.got_subcommand(name))
            continue;
        CLI::App* command = app.get_subcommand(name);
        PeriodicOptions& options = request->periodic;
        if (Given(command, "--every") && !DurationOption(args.every, "--every", true, &options.everyMicros))
            return kExitUsage;
        if (!CountOption(command, args.count, &options.count))
            return kExitUsage;
        if (!Given(command, "--count"))
            options.count = Given(command, "--every") ? 0 : 1;
    }
    return 0;
}

bool RunWorkbenchCommand(CLI::App& app, const WorkbenchRequest& request, const BusBinding& bus, HWND window,
                         int* exitCode)
{
    if (app.got_subcommand("record"))
        *exitCode = RecordMessages(bus, window, request.record);
    else if (app.got_subcommand("replay"))
        *exitCode = ReplayMessages(bus, window, request.recording, request.replay);
    else if (app.got_subcommand("stats"))
        *exitCode = ShowStatistics(bus, window, request.stats);
    else
        return false;
    return true;
}
