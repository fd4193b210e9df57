// One of velkctl's commands as the command table holds it
// (velkctl/CommandTable.cpp): its own arguments and options, checked
// before anything is opened or attached, then run.
#pragma once
#include <windows.h>

#include <CLI/CLI.hpp>

#include "client/BusBinding.h"
#include "client/ExitStatus.h"

// The bus a command runs on: the bound library and velkctl's window.
struct BusSession {
    const BusBinding& bus;
    HWND window;
};

class Command {
public:
    virtual ~Command() {}
    // Adds the command's arguments, options and example to its subcommand.
    virtual void AddOptions(CLI::App* command) = 0;
    // Checks what the command line gave: kExitOk, or the exit status after
    // a message on stderr. Nothing is posted, made or attached before it.
    virtual int Prepare(const CLI::App& command) = 0;
    // The exit status. session is null for a command that needs no bus.
    virtual int Run(const BusSession* session) = 0;
};
