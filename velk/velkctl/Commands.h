// velkctl's commands, each given a bound library and velkctl's window, each
// returning the process exit code.
#pragma once
#include <stdint.h>
#include <string>

#include <windows.h>

#include "velk/velkctl/BusBinding.h"
#include "velk/velkctl/Monitor.h"

enum VelkCtlExit {
    kExitOk = 0,
    kExitUsage = 1,        // bad arguments (CLI11's own codes are non-zero too)
    kExitNoBus = 2,        // no library, or no usable bus
    kExitRefused = 3,      // the library refused the request
    kExitTimedOut = 4,     // monitor: fewer messages than --count before --timeout
};

int ShowClients(const BusBinding& bus);
int ShowVariables(const BusBinding& bus);
int SetVariable(const BusBinding& bus, int32_t index, int32_t value);
int PostValue(const BusBinding& bus, HWND window, uint32_t code, int64_t value);
int SendString(const BusBinding& bus, HWND window, uint32_t channel, const std::string& typedText);
int SendArray(const BusBinding& bus, HWND window, uint32_t channel, const std::string& arrayText);
int StopAll(const BusBinding& bus, HWND window);
int Monitor(const BusBinding& bus, HWND window, const MonitorOptions& options);
int EndSession(const BusBinding& bus, HWND window);
