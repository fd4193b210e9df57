// velkctl bridge on the command line.
#pragma once
#include <string>

#include <windows.h>

#include <CLI/CLI.hpp>

#include "velkctl/Bridge.h"
#include "velkctl/BusBinding.h"

struct BridgeArguments {
    std::string origin, stats;
    bool exitOnEof = false;
};

void AddBridgeCommand(CLI::App& app, BridgeArguments* args);

// Checks the arguments before the bus is touched; 0 when it may go on, else
// the exit code after a message on stderr.
int PrepareBridge(const BridgeArguments& args, BridgeOptions* options);
