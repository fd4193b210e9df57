// velkctl: a command-line client of the VELK bus for scripts and tests.
#include <stdio.h>
#include <exception>
#include <string>

#include <windows.h>

#include <CLI/CLI.hpp>

#include "common/Escapes.h"
#include "protocol/PayloadLimits.h"
#include "velkctl/BridgeCommand.h"
#include "client/BusBinding.h"
#include "client/BusNameArgument.h"
#include "formats/ByteListArgument.h"
#include "client/ClientWindow.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Commands.h"
#include "formats/CodeArgument.h"
#include "client/CrashGuard.h"
#include "formats/Duration.h"
#include "velkctl/FilterOptions.h"
#include "formats/NumberArgument.h"
#include "client/InputFile.h"
#include "velkctl/ViewCommands.h"
#include "velkctl/Watch.h"
#include "velkctl/WorkbenchCommands.h"

namespace {

const char kMainHelpFooter[] =
    "Examples:\n"
    "  velkctl monitor --type ADC       print every A/D message; Ctrl+C ends it\n"
    "  velkctl post 20001001 42         post the value 42 with code 20001001\n"
    "  velkctl help post                the help of one command, with an example\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  no bus: velk.dll missing or not a bus library, or the bus unusable\n"
    "  2  usage: a bad or mistyped command, option or argument, or a malformed input file\n"
    "  3  refused: the bus library refused the request\n"
    "  4  timed out: fewer messages than --count before --timeout\n"
    "  5  I/O: a file, standard input or output that cannot be opened, read, made or written\n"
    "  6  crashed: velkctl or the bus library crashed, or an internal error";

const char kMaskHelp[] =
    "type bits to receive: DEP 0x800, ADC 0x1000, WTC 0x2000, TMR 0x4000, CNT 0x8000, STR 0x200, ARR 0x400, "
    "CTL 0x800000, ABS 0x100; 0x0080FF00 is all nine";

// CLI11 checks presence and count; the numbers are ours (hex with 0x, or
// decimal), so a negative count is refused rather than wrapped.
struct Arguments {
    std::string busName;
    std::string index, value, code, channel, text, file, mask, count, timeout, interval, time;
    bool watch = false;
    WorkbenchArguments workbench;
    BridgeArguments bridge;
    ViewArguments views;
};

// Everything a command needs, checked before the bus is touched: bad input
// attaches to nothing and posts nothing.
struct Request {
    int64_t a = 0, b = 0;
    std::string bytes;            // send-str: the file's bytes
    unsigned char array[kMaxArrayBytes] = {};
    int arrayCount = 0;
    MonitorOptions monitor = {};
    WatchOptions watch;
    WorkbenchRequest workbench;
    BridgeOptions bridge;
    ViewRequest views;
};

bool PrepareWatch(CLI::App* command, const Arguments& args, WatchOptions* watch)
{
    watch->watch = args.watch;
    if (!args.watch && (Given(command, "--interval") || Given(command, "--count"))) {
        fprintf(stderr, "velkctl: %s: --interval and --count go with --watch\n", command->get_name().c_str());
        return false;
    }
    int64_t count = 0;
    if (!args.interval.empty() && !DurationOption(args.interval, "interval", true, &watch->intervalMicros))
        return false;
    if (!args.count.empty() && !NumberOption(args.count, "count", 1, INT64_MAX, &count))
        return false;
    watch->count = static_cast<uint64_t>(count);
    return true;
}

// kExitOk, or the exit status after a message on stderr.
int Prepare(CLI::App& app, const Arguments& args, Request* request)
{
    const int bad = kExitUsage;
    for (const char* shown : { "clients", "vars", "counters" }) {
        if (app.got_subcommand(shown))
            return PrepareWatch(app.get_subcommand(shown), args, &request->watch) ? kExitOk : bad;
    }
    if (app.got_subcommand("set-var"))
        return NumberOption(args.index, "index", 0, INT32_MAX, &request->a)
            && NumberOption(args.value, "value", INT32_MIN, UINT32_MAX, &request->b) ? kExitOk : bad;
    if (app.got_subcommand("post")) {
        uint32_t code = 0;
        std::string error;
        if (!ParseCodeArgument(args.code, "code", &code, &error)) {
            fprintf(stderr, "velkctl: %s\n", error.c_str());
            return bad;
        }
        request->a = code;
        return NumberOption(args.value, "value", INT32_MIN, UINT32_MAX, &request->b) ? kExitOk : bad;
    }
    if (app.got_subcommand("send-str")) {
        if (!NumberOption(args.channel, "channel", 0, 255, &request->a))
            return bad;
        const CLI::App* sendStr = app.get_subcommand("send-str");
        if (Given(sendStr, "--file"))
            return ReadInputFile(args.file, kMaxPayloadBytes, "the most one message carries", &request->bytes);
        if (sendStr->count("TEXT") == 0) {
            fprintf(stderr, "velkctl: send-str needs TEXT or --file FILE\n");
            return bad;
        }
        return kExitOk;
    }
    if (app.got_subcommand("send-arr")) {
        if (!NumberOption(args.channel, "channel", 0, 255, &request->a))
            return bad;
        std::string error;
        request->arrayCount = ParseByteListArgument(args.text, request->array, &error);
        if (request->arrayCount < 0)
            fprintf(stderr, "velkctl: %s\n", error.c_str());
        return request->arrayCount >= 0 ? kExitOk : bad;
    }
    if (app.got_subcommand("monitor")) {
        MonitorOptions& monitor = request->monitor;
        int64_t count = 0;
        if (!MakeFilterAndMask(args.workbench.filter, !args.mask.empty(), args.mask, &monitor.filter, &monitor.mask)
            || (!args.count.empty() && !NumberOption(args.count, "count", 0, INT64_MAX, &count))
            || (!args.timeout.empty() && !DurationOption(args.timeout, "timeout", false, &monitor.timeoutMicros)))
            return bad;
        monitor.count = static_cast<uint64_t>(count);
        if (!args.time.empty() && !ParseMonitorTime(args.time, &monitor.time)) {
            fprintf(stderr, "velkctl: bad time %s: expected rel, abs or delta\n", QuoteInput(args.time).c_str());
            return bad;
        }
        request->monitor.jsonLines = args.workbench.jsonLines;
        request->monitor.outPath = args.workbench.out;
    }
    return kExitOk;
}

int Run(CLI::App& app, const Arguments& args, const Request& request)
{
    if (!args.busName.empty())
        SetBusName(args.busName);

    BusBinding bus;
    std::string error;
    if (!LoadBus(&bus, &error)) {
        fprintf(stderr, "velkctl: %s\n", error.c_str());
        return kExitNoBus;
    }
    int status = BusStatus(bus);
    if (status != kVelkOk) {
        fprintf(stderr, "velkctl: no bus: %s (%d)\n", VelkResultText(status), status);
        FreeBus(&bus);
        return kExitNoBus;
    }
    HWND window = CreateClientWindow();
    if (window == NULL) {
        fprintf(stderr, "velkctl: cannot create a window (error %lu)\n", GetLastError());
        FreeBus(&bus);
        return kExitNoBus;
    }

    const uint32_t channel = static_cast<uint32_t>(request.a);
    int exitCode = kExitCrashed;   // no command ran: an internal error
    if (RunWorkbenchCommand(app, request.workbench, bus, window, &exitCode) ||
        RunBusView(app, request.views, bus, window, &exitCode)) {
        // record, replay, stats or top
    } else if (app.got_subcommand("clients")) {
        exitCode = ShowInformation(bus, kInfoHandles, request.watch);
    } else if (app.got_subcommand("counters")) {
        exitCode = ShowInformation(bus, kInfoFurther, request.watch);
    } else if (app.got_subcommand("vars")) {
        exitCode = ShowInformation(bus, kInfoVariables, request.watch);
    } else if (app.got_subcommand("set-var")) {
        exitCode = SetVariable(bus, static_cast<int32_t>(request.a), static_cast<int32_t>(static_cast<uint32_t>(request.b)));
    } else if (app.got_subcommand("post")) {
        exitCode = PostValue(bus, window, static_cast<uint32_t>(request.a), request.b, request.workbench.periodic);
    } else if (app.got_subcommand("send-str")) {
        if (Given(app.get_subcommand("send-str"), "--file"))
            exitCode = SendRawString(bus, window, channel, request.bytes, request.workbench.periodic);
        else
            exitCode = SendString(bus, window, channel, args.text, request.workbench.periodic);
    } else if (app.got_subcommand("send-arr")) {
        exitCode = SendArray(bus, window, channel, request.array, request.arrayCount, request.workbench.periodic);
    } else if (app.got_subcommand("stop-all")) {
        exitCode = StopAll(bus, window);
    } else if (app.got_subcommand("monitor")) {
        exitCode = Monitor(bus, window, request.monitor);
    } else if (app.got_subcommand("end-session")) {
        exitCode = EndSession(bus, window);
    } else if (app.got_subcommand("bridge")) {
        exitCode = RunBridge(bus, window, request.bridge);
    } else {
        fprintf(stderr, "velkctl: no handler for the command\n");
    }

    DestroyWindow(window);
    FreeBus(&bus);
    if (!StandardOutputWritten() && exitCode == kExitOk)
        exitCode = kExitIo;
    return exitCode;
}

int Main(int argc, char** argv)
{
    // Named here, or the usage line would show the path velkctl was started by.
    CLI::App app("velkctl: a command-line client of the VELK bus: post, receive, record, replay and export\n"
                 "its messages, read and set its public variables, join buses. A CODE is always hex, as every\n"
                 "output prints it (20001001 = 0x20001001); other numbers are decimal, or hex with 0x.",
                 "velkctl");
    StartCommandLine(app, VELKCTL_VERSION);
    app.footer(kMainHelpFooter);
    app.require_subcommand(0, 1);   // so an unknown word is named as such, not taken for a missing command
    Arguments args;
    app.add_option("--bus", args.busName,
                   "bus to attach to (default: %" VELK_BUS_NAME_VARIABLE "%, else the session's bus)");

    CLI::App* clients = app.add_subcommand("clients", "list the registered windows: handle, mask, name, process id");
    clients->footer("Example:\n"
                    "  velkctl clients\n"
                    "    10062 80ff00 test 288      a console (client name test) receiving all nine types");
    CLI::App* vars = app.add_subcommand("vars", "list the public variables, one INDEX=VALUE a line");
    vars->footer("Example:\n"
                 "  velkctl vars --watch --interval 500ms\n"
                 "    the 64 variables, INDEX=VALUE, and again, under the time, whenever one changes");
    CLI::App* counters = app.add_subcommand("counters", "list the bus's counters: posted, delivered, dropped, expired, ...");
    counters->footer("Example:\n"
                     "  velkctl counters --watch --count 3\n"
                     "    the counters now and the next two times they change");

    for (CLI::App* shown : { clients, vars, counters }) {
        shown->add_flag("--watch", args.watch, "print again, under the time, whenever it changes, until Ctrl+C");
        shown->add_option("--interval", args.interval, "with --watch: look this often (default 1s)");
        shown->add_option("--count", args.count, "with --watch: end after printing N times, 1 or more");
    }

    CLI::App* setVar = app.add_subcommand("set-var", "set a public variable");
    setVar->add_option("INDEX", args.index, "the variable, 0-63 (velkctl vars lists them)")->required();
    setVar->add_option("VALUE", args.value, "its new value, -2147483648 to 4294967295 (a 32-bit word)")->required();
    setVar->footer("Example:\n"
                   "  velkctl set-var 3 100");

    CLI::App* post = app.add_subcommand("post", "post a value message");
    post->add_option("CODE", args.code,
                     "message code, always hex as monitor prints it (20001001 = 0x20001001): direction bits 28-31, "
                     "type bits 8-15 and 23, channel 0-255 in bits 0-7")->required();
    post->add_option("VALUE", args.value, "data word, -2147483648 to 4294967295")->required();
    post->footer("Example:\n"
                 "  velkctl post 20001001 42\n"
                 "    posts 42 as Write Value (20000000), A/D (1000), channel 1");

    CLI::App* sendStr = app.add_subcommand("send-str", "post a string message on channel CH: TEXT or --file");
    sendStr->add_option("CH", args.channel, "channel, 0-255")->required();
    CLI::Option* text = sendStr->add_option(
        "TEXT", args.text, "text; \\n \\r \\t \\a \\b stand for their characters (a command line holds at most 32,767)");
    CLI::Option* file = sendStr->add_option(
        "--file", args.file, "send this file's bytes as they are, at most 65536 ('-': standard input)");
    text->excludes(file);
    sendStr->footer("Example:\n"
                    "  velkctl send-str 7 \"hello\\tworld\"\n"
                    "    posts code 30000207 with the 11 bytes hello, a tab, world");

    CLI::App* sendArr = app.add_subcommand("send-arr", "post an array message on channel CH");
    sendArr->add_option("CH", args.channel, "channel, 0-255")->required();
    sendArr->add_option("BYTES", args.text, "1 to 20 bytes, each 1 or 2 hex digits, separated by blanks")->required();
    sendArr->footer("Example:\n"
                    "  velkctl send-arr 5 \"01 7f ff\"\n"
                    "    posts code 30000405 with the 3 bytes 01 7F FF");

    CLI::App* stopAll = app.add_subcommand("stop-all", "post the stop-all message, code 80800000");
    stopAll->footer("Example:\n"
                    "  velkctl stop-all");

    CLI::App* monitor = app.add_subcommand("monitor", "print one line per message received");
    monitor->add_option("MASK", args.mask, std::string(kMaskHelp) + " (default: the types the filters pass, else all nine)");
    monitor->add_option("--count", args.count, "stop after N messages shown (0: no limit; exit 4 if the timeout comes first)");
    monitor->add_option("--timeout", args.timeout, "stop after this long, like 30 (seconds), 500ms, 2m (0: no limit)");
    monitor->add_option("--time", args.time,
                        "each line's time: rel (seconds since the start), abs (local time with its UTC offset) or "
                        "delta (milliseconds since the previous message); default: the console's");
    monitor->footer("Example:\n"
                    "  velkctl monitor --code 20001001 --count 10 --timeout 30\n"
                    "    prints the next 10 messages of code 20001001, waiting at most 30 s; Ctrl+C ends it sooner");

    CLI::App* endSession = app.add_subcommand("end-session", "send WM_ENDSESSION to every other registered window");
    endSession->footer("Example:\n"
                       "  velkctl end-session\n"
                       "    10062 ended                one line per window, as it answered");
    AddWorkbenchCommands(app, &args.workbench);
    AddBridgeCommand(app, &args.bridge);
    AddViewCommands(app, &args.views);
    FinishCommandLine(app);

    int parsed = ParseCommandLine(app, argc, argv);
    if (parsed != kParsed)
        return parsed;
    if (app.get_subcommands().empty()) {
        fprintf(stderr, "velkctl: a command is required; velkctl --help lists them\n");
        return kExitUsage;
    }
    Request request;
    int prepared = Prepare(app, args, &request);
    if (prepared != kExitOk)
        return prepared;
    prepared = PrepareWorkbench(app, args.workbench, &request.workbench);
    if (prepared == kExitOk && app.got_subcommand("bridge"))
        prepared = PrepareBridge(app, args.bridge, &request.bridge);
    if (prepared != kExitOk)
        return prepared;
    if (app.got_subcommand("export"))   // a file to a file: no bus
        return ExportRecording(request.workbench.exportCsv);
    prepared = PrepareViews(app, args.views, &request.views);
    if (prepared != kExitOk)
        return prepared;
    int exitCode = kExitCrashed;
    if (RunOfflineView(app, args.views, request.views, &exitCode))
        return exitCode;
    return Run(app, args, request);
}

int MainOrMessage(int argc, char** argv)
{
    try {
        return Main(argc, argv);
    } catch (const std::exception& failure) {
        fprintf(stderr, "velkctl: failed: %s\n", failure.what());
    } catch (...) {
        fprintf(stderr, "velkctl: failed\n");
    }
    return kExitCrashed;
}

} // namespace

int main(int argc, char** argv)
{
    return RunGuarded(MainOrMessage, argc, argv);
}
