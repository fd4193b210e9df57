// velkctl simulate: the rest of the rig from a signal file. Every chosen
// message is posted on its own period (velkctl/Simulation.h) while JSON
// request lines on standard input change values and schedules, each
// answered on standard output (docs/simulate.md).
#pragma once
#include <stdint.h>
#include <windows.h>

#include "client/BusBinding.h"
#include "velkctl/Simulation.h"

struct SimulateOptions {
    uint64_t durationMicros = 0;   // 0: until Ctrl+C or the end of standard input
};

// simulation prepared and its messages chosen. Runs until Ctrl+C, the
// duration, the end of input (without a duration) or the session's end,
// then writes the summary to stderr. The exit status: kExitOk; kExitRefused
// when the window cannot register or the bus refused a post; kExitIo when
// standard output is closed or input cannot be read.
int RunSimulate(const BusBinding& bus, HWND window, Simulation* simulation, const SimulateOptions& options);
