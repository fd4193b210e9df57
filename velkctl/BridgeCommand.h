// velkctl bridge on the command line.
#pragma once
#include <string>

#include <CLI/CLI.hpp>

#include "velkctl/Bridge.h"
#include "velkctl/FilterOptions.h"

struct BridgeArguments {
    std::string origin, stats, accept;
    FilterArguments send;
    bool exitOnEof = false;
};

void AddBridgeCommand(CLI::App& app, BridgeArguments* args);

// Checks the arguments before the bus is touched; 0 when it may go on, else
// the exit code after a message on stderr.
int PrepareBridge(CLI::App& app, const BridgeArguments& args, BridgeOptions* options);
