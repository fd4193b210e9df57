// velkctl: a command-line client of the VELK bus for scripts and tests.
#include <stdio.h>
#include <string>

#include <windows.h>

#include <CLI/CLI.hpp>

#include "velk/velkctl/BusBinding.h"
#include "velk/velkctl/ClientWindow.h"
#include "velk/velkctl/Commands.h"
#include "velk/velkctl/NumberArgument.h"

namespace {

const uint32_t kMaxTimeoutSeconds = 24 * 60 * 60;

// CLI11 checks presence and count; the numbers are ours (hex with 0x, or decimal).
struct Arguments {
    std::string busName;
    std::string index, value, code, channel, text, mask;
    uint64_t count = 0;
    uint32_t timeoutSeconds = 0;
};

bool Number(const std::string& text, const char* what, int64_t minimum, int64_t maximum, int64_t* value)
{
    if (ParseNumberArgument(text.c_str(), minimum, maximum, value))
        return true;
    fprintf(stderr, "velkctl: bad %s '%s': expected %s\n", what, text.c_str(),
            minimum < 0 ? "a decimal or 0x-hex number in range" : "a non-negative decimal or 0x-hex number in range");
    return false;
}

int Run(CLI::App& app, const Arguments& args)
{
    if (!args.busName.empty())
        SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, args.busName.c_str());

    BusBinding bus;
    if (!LoadBus(&bus))
        return kExitNoBus;
    int status = bus.velkBusStatus != NULL ? bus.velkBusStatus() : kVelkOk;
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

    int64_t a = 0, b = 0;
    int exitCode = kExitUsage;
    if (app.got_subcommand("clients")) {
        exitCode = ShowClients(bus);
    } else if (app.got_subcommand("vars")) {
        exitCode = ShowVariables(bus);
    } else if (app.got_subcommand("set-var")) {
        if (Number(args.index, "index", INT32_MIN, INT32_MAX, &a) && Number(args.value, "value", INT32_MIN, UINT32_MAX, &b))
            exitCode = SetVariable(bus, static_cast<int32_t>(a), static_cast<int32_t>(static_cast<uint32_t>(b)));
    } else if (app.got_subcommand("post")) {
        if (Number(args.code, "code", 0, UINT32_MAX, &a) && Number(args.value, "value", INT32_MIN, UINT32_MAX, &b))
            exitCode = PostValue(bus, window, static_cast<uint32_t>(a), b);
    } else if (app.got_subcommand("send-str")) {
        if (Number(args.channel, "channel", 0, 255, &a))
            exitCode = SendString(bus, window, static_cast<uint32_t>(a), args.text);
    } else if (app.got_subcommand("send-arr")) {
        if (Number(args.channel, "channel", 0, 255, &a))
            exitCode = SendArray(bus, window, static_cast<uint32_t>(a), args.text);
    } else if (app.got_subcommand("stop-all")) {
        exitCode = StopAll(bus, window);
    } else if (app.got_subcommand("monitor")) {
        if (Number(args.mask, "mask", 0, UINT32_MAX, &a)) {
            MonitorOptions options = { static_cast<uint32_t>(a), args.count, args.timeoutSeconds };
            exitCode = Monitor(bus, window, options);
        }
    } else if (app.got_subcommand("end-session")) {
        exitCode = EndSession(bus, window);
    }

    DestroyWindow(window);
    FreeBus(&bus);
    return exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app("velkctl: a command-line client of the VELK bus. Numbers are decimal or 0x-hex.");
    app.require_subcommand(0, 1);   // so an unknown word is named as such, not taken for a missing command
    Arguments args;
    app.add_option("--bus", args.busName,
                   "bus to attach to (default: $" VELK_BUS_NAME_VARIABLE ", else the session's bus)");

    app.add_subcommand("clients", "list the registered windows: handle, mask, name, process id");
    app.add_subcommand("vars", "list the public variables");

    CLI::App* setVar = app.add_subcommand("set-var", "set a public variable");
    setVar->add_option("INDEX", args.index, "variable index")->required();
    setVar->add_option("VALUE", args.value, "new value (signed 32-bit)")->required();

    CLI::App* post = app.add_subcommand("post", "post a value message");
    post->add_option("CODE", args.code, "message code")->required();
    post->add_option("VALUE", args.value, "data word (32-bit)")->required();

    CLI::App* sendStr = app.add_subcommand("send-str", "post a string message on channel CH");
    sendStr->add_option("CH", args.channel, "channel, 0 to 255")->required();
    sendStr->add_option("TEXT", args.text, "text; \\n \\r \\t \\a \\b stand for their characters")->required();

    CLI::App* sendArr = app.add_subcommand("send-arr", "post an array message on channel CH");
    sendArr->add_option("CH", args.channel, "channel, 0 to 255")->required();
    sendArr->add_option("BYTES", args.text, "hex bytes separated by single spaces, at most 20")->required();

    app.add_subcommand("stop-all", "post the stop-all message");

    CLI::App* monitor = app.add_subcommand("monitor", "print one line per message received");
    monitor->add_option("MASK", args.mask, "subscription mask (type bits)")->required();
    monitor->add_option("--count", args.count, "stop after N messages (exit 4 if the timeout comes first)");
    monitor->add_option("--timeout", args.timeoutSeconds, "stop after S seconds")
        ->check(CLI::Range(0u, kMaxTimeoutSeconds));

    app.add_subcommand("end-session", "send WM_ENDSESSION to every other registered window");

    CLI11_PARSE(app, argc, argv);
    if (app.get_subcommands().empty()) {
        fprintf(stderr, "velkctl: a command is required (--help lists them)\n");
        return kExitUsage;
    }
    return Run(app, args);
}
