// velkctl: a command-line client of the VELK bus for scripts and tests.
#include <stdio.h>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include <CLI/CLI.hpp>

#include "client/BusBinding.h"
#include "client/ClientWindow.h"
#include "client/CrashGuard.h"
#include "velk/VelkLibrary.h"
#include "velkctl/CommandLine.h"
#include "velkctl/CommandTable.h"
#include "velkctl/CommandOutcome.h"
#include "client/ProgramMessages.h"

namespace {

const char kMainHelpFooter[] = N_(
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
    "  6  crashed: velkctl or the bus library crashed, or an internal error");

// Attaches to the bus, runs the command on it and leaves: the exit status.
int RunOnBus(const std::string& busName, Command* command)
{
    BusBinding bus;
    std::string error;
    int status = kVelkOk;
    if (!AttachBus(busName, &bus, &error, &status)) {
        if (status != kVelkOk)
            PrintMessage("velkctl: no bus: %s (%d)\n", error.c_str(), status);
        else
            PrintMessage("velkctl: %s\n", error.c_str());
        return kExitNoBus;
    }
    HWND window = CreateClientWindow();
    if (window == NULL) {
        PrintMessage("velkctl: cannot create a window (error %lu)\n", GetLastError());
        FreeBus(&bus);
        return kExitNoBus;
    }
    const BusSession session = { bus, window };
    int exitCode = command->Run(&session);
    DestroyWindow(window);
    FreeBus(&bus);
    return exitCode;
}

int Main(int argc, char** argv)
{
    // Named here, or the usage line would show the path velkctl was started by.
    CLI::App app(N_("velkctl: a command-line client of the VELK bus: post, receive, record, replay and export\n"
                    "its messages, read and set its public variables, join buses. A CODE is always hex, as every\n"
                    "output prints it (20001001 = 0x20001001); other numbers are decimal, or hex with 0x."),
                 "velkctl");
    StartCommandLine(app, VELKCTL_VERSION);
    app.footer(kMainHelpFooter);
    app.require_subcommand(0, 1);   // so an unknown word is named as such, not taken for a missing command
    std::string busName;
    app.add_option("--bus", busName,
                   N_("bus to attach to (default: %VELK_BUS_NAME%, else the session's bus)"));

    std::vector<std::unique_ptr<Command>> commands;
    std::vector<CLI::App*> subcommands;
    for (size_t i = 0; i < kCommandCount; ++i) {
        const CommandRow& row = kCommandTable[i];
        subcommands.push_back(app.add_subcommand(row.name, row.summary));
        commands.push_back(row.make());
        commands.back()->AddOptions(subcommands.back());
    }
    FinishCommandLine(app);

    int parsed = ParseCommandLine(app, argc, argv);
    if (parsed != kParsed)
        return parsed;
    size_t chosen = 0;
    while (chosen < kCommandCount && !subcommands[chosen]->parsed())
        ++chosen;
    if (chosen == kCommandCount) {
        PrintMessage("velkctl: a command is required; velkctl --help lists them\n");
        return kExitUsage;
    }
    Command* command = commands[chosen].get();
    int exitCode = command->Prepare(*subcommands[chosen]);
    if (exitCode != kExitOk)
        return exitCode;
    exitCode = kCommandTable[chosen].needs == kNeedsBus ? RunOnBus(busName, command) : command->Run(nullptr);
    // Output a script never got (a closed pipe, a full disk) is a failure too.
    if (exitCode == kExitOk && !StandardOutputWritten())
        exitCode = kExitIo;
    return exitCode;
}

int MainOrMessage(int argc, char** argv)
{
    try {
        return Main(argc, argv);
    } catch (const std::exception& failure) {
        PrintMessage("velkctl: failed: %s\n", failure.what());
    } catch (...) {
        PrintMessage("velkctl: failed\n");
    }
    return kExitCrashed;
}

} // namespace

int main(int argc, char** argv)
{
    return RunGuarded(MainOrMessage, argc, argv);
}
