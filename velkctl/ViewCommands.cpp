#include "velkctl/ViewCommands.h"

#include <stdio.h>

#include "formats/CodeArgument.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Commands.h"
#include "formats/Duration.h"
#include "client/InputFile.h"
#include "velkctl/Plot.h"

namespace {

int PreparePlot(CLI::App* command, const ViewArguments& args, PlotRequest* plot)
{
    for (const std::string& text : args.codes) {
        uint32_t code = 0;
        std::string error;
        if (!ParseCodeArgument(text, "code", &code, &error)) {
            fprintf(stderr, "velkctl: %s\n", error.c_str());
            return kExitUsage;
        }
        plot->codes.push_back(code);
    }
    plot->fromGiven = Given(command, "--from");
    plot->toGiven = Given(command, "--to");
    if ((plot->fromGiven && !DurationOption(args.from, "--from", false, &plot->fromMicros)) ||
        (plot->toGiven && !DurationOption(args.to, "--to", false, &plot->toMicros)))
        return kExitUsage;
    if (plot->toGiven && plot->toMicros <= plot->fromMicros) {
        fprintf(stderr, "velkctl: --to '%s' must come after --from '%s'\n", args.to.c_str(),
                plot->fromGiven ? args.from.c_str() : "0");
        return kExitUsage;
    }
    plot->title = Utf8FromSystem(Given(command, "--title") ? args.title : InputFileName(args.file));
    return kExitOk;
}

int PrepareTop(CLI::App* command, const ViewArguments& args, TopOptions* top)
{
    if (!MakeFilterAndMask(args.filter, Given(command, "--mask"), args.mask, &top->filter, &top->mask))
        return kExitUsage;
    if (Given(command, "--interval")) {
        if (!DurationOption(args.interval, "interval", true, &top->intervalMicros))
            return kExitUsage;
        if (top->intervalMicros < 10000) {
            fprintf(stderr, "velkctl: --interval '%s': at least 10ms\n", args.interval.c_str());
            return kExitUsage;
        }
    }
    return CountOption(command, args.count, &top->count) ? kExitOk : kExitUsage;
}

} // namespace

void AddViewCommands(CLI::App& app, ViewArguments* args)
{
    CLI::App* plot = app.add_subcommand("plot", "draw codes of a recording as an SVG chart, for reports and tickets");
    plot->add_option("FILE", args->file, "the recording, as velkctl record writes it ('-': standard input)")->required();
    plot->add_option("--code", args->codes, "a code to draw, in hex; repeat for more, at most 8")
        ->required()->type_name("CODE");
    plot->add_option("--out", args->out, "the SVG file to write ('-': standard output)")->required();
    plot->add_option("--from", args->from, "draw from this time of the recording on, like 12 or 1.5s (default: its first point)")
        ->type_name("TIME");
    plot->add_option("--to", args->to, "draw up to this time, like 30 or 2m (default: its last point)")->type_name("TIME");
    plot->add_option("--title", args->title, "the chart's title (default: the file's name)")->type_name("TITLE");
    plot->footer("Example:\n"
                 "  velkctl plot session.txt --code 20001001 --code 30000403 --out session.svg\n"
                 "    the values of 20001001 and the first byte of the arrays 30000403 over the\n"
                 "    whole recording, min/max per pixel column, so no spike is lost");

    CLI::App* top = app.add_subcommand("top", "one row per code with its latest value and rate, updated in place");
    top->add_option("--interval", args->interval, "refresh this often, like 500ms or 2s (default 1s)");
    top->add_option("--count", args->count, "end after N intervals (default: at q or Ctrl+C)");
    AddMaskOption(top, &args->mask);
    AddFilterOptions(top, &args->filter);
    top->footer("Keys in a console window: q quit, space pause/resume, c clear the counts, s sort by rate or code.\n"
                "Into a file or pipe the table is printed once per interval, headed by the time.\n"
                "Rows: * its value changed in the last interval, . silent for 10 intervals.\n"
                "Example:\n"
                "  velkctl top --interval 500ms\n"
                "  velkctl top --count 3 > table.txt");
}

int PrepareViews(CLI::App& app, const ViewArguments& args, ViewRequest* request)
{
    if (app.got_subcommand("plot")) {
        if (args.codes.size() > 8) {
            fprintf(stderr, "velkctl: plot draws at most 8 codes (%zu given)\n", args.codes.size());
            return kExitUsage;
        }
        return PreparePlot(app.get_subcommand("plot"), args, &request->plot);
    }
    if (app.got_subcommand("top"))
        return PrepareTop(app.get_subcommand("top"), args, &request->top);
    return kExitOk;
}

bool RunOfflineView(CLI::App& app, const ViewArguments& args, const ViewRequest& request, int* exitCode)
{
    if (!app.got_subcommand("plot"))
        return false;
    *exitCode = PlotRecording(args.file, request.plot, args.out);
    if (*exitCode == kExitOk && !StandardOutputWritten())
        *exitCode = kExitIo;
    return true;
}

bool RunBusView(CLI::App& app, const ViewRequest& request, const BusBinding& bus, HWND window, int* exitCode)
{
    if (!app.got_subcommand("top"))
        return false;
    *exitCode = RunTop(bus, window, request.top);
    return true;
}
