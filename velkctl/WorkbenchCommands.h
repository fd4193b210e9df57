// velkctl's bench-engineer commands on the command line: record, replay,
// stats, the periodic options of post, send-str and send-arr, and monitor's
// --jsonl and --out.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include <windows.h>

#include <CLI/CLI.hpp>

#include "client/BusBinding.h"
#include "velkctl/FilterOptions.h"
#include "velkctl/Export.h"
#include "velkctl/PeriodicSend.h"
#include "velkctl/Record.h"
#include "velkctl/Replay.h"
#include "velkctl/Stats.h"

struct WorkbenchArguments {
    std::string file, mask, count, duration, speed, loops, interval, every, out;
    bool jsonLines = false;
    FilterArguments filter;   // monitor's, record's, stats' and export's
};

// Checked before the bus is touched.
struct WorkbenchRequest {
    RecordOptions record;
    ReplayOptions replay = { 1.0, 1 };
    CheckedRecording recording;
    StatsOptions stats = {};
    PeriodicOptions periodic = { 0, 1 };   // one send
    ExportOptions exportCsv;
};

// Adds record, replay, stats and export, and the options the other commands
// gain (the filters on monitor); post, send-str, send-arr and monitor must be
// there already.
void AddWorkbenchCommands(CLI::App& app, WorkbenchArguments* args);

// Checks what the command line gave for these; 0 when it may go on, else the
// exit code after a message on stderr.
int PrepareWorkbench(CLI::App& app, const WorkbenchArguments& args, WorkbenchRequest* request);

// Runs record, replay or stats; false when the command is none of them.
bool RunWorkbenchCommand(CLI::App& app, const WorkbenchRequest& request, const BusBinding& bus, HWND window,
                         int* exitCode);
