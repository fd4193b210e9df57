// --every D and --count N of the send commands (post, send-str, send-arr).
#pragma once
#include <string>

#include <CLI/CLI.hpp>

#include "velkctl/PeriodicSend.h"

struct PeriodicArguments {
    std::string every, count;
};

void AddPeriodicOptions(CLI::App* command, PeriodicArguments* args);

// Once without either; until stopped with --every alone. False after a
// message on stderr.
bool MakePeriodicOptions(const CLI::App& command, const PeriodicArguments& args, PeriodicOptions* options);
