// velkctl's commands, each given a bound library and velkctl's window, each
// returning the process exit code.
#pragma once
#include <stdint.h>
#include <string>

#include <windows.h>

#include "velkctl/BusBinding.h"
#include "velkctl/Monitor.h"
#include "velkctl/PeriodicSend.h"

enum VelkCtlExit {
    kExitOk = 0,
    kExitUsage = 1,        // bad arguments (CLI11's own codes are non-zero too)
    kExitNoBus = 2,        // no library, or no usable bus
    kExitBadFile = 2,      // a file that cannot be read, made or written, or a malformed recording
    kExitRefused = 3,      // the library refused the request
    kExitTimedOut = 4,     // monitor: fewer messages than --count before --timeout
    kExitFailed = 5,       // velkctl itself failed: a crash (in it or the library) or an internal error
};

// For every command that changes the bus, once it has: when no other process
// has the bus open, says on stderr that the bus ends when velkctl exits and
// that whatIsLost ("this message is lost"). Says nothing when the library
// cannot tell.
void NoteIfBusEndsWithVelkctl(const BusBinding& bus, const char* whatIsLost);

int ShowClients(const BusBinding& bus);
int ShowVariables(const BusBinding& bus);
int ShowCounters(const BusBinding& bus);
int SetVariable(const BusBinding& bus, int32_t index, int32_t value);
// The send commands post once, or as repeat says (then with a summary on stderr).
int PostValue(const BusBinding& bus, HWND window, uint32_t code, int64_t value, const PeriodicOptions& repeat);
// The typed text with the console's escapes replaced.
int SendString(const BusBinding& bus, HWND window, uint32_t channel, const std::string& typedText,
               const PeriodicOptions& repeat);
// Bytes as they are (a file's): no escapes; the line shows control bytes escaped.
int SendRawString(const BusBinding& bus, HWND window, uint32_t channel, const std::string& bytes,
                  const PeriodicOptions& repeat);
int SendArray(const BusBinding& bus, HWND window, uint32_t channel, const unsigned char* bytes, int count,
              const PeriodicOptions& repeat);
int StopAll(const BusBinding& bus, HWND window);
int Monitor(const BusBinding& bus, HWND window, const MonitorOptions& options);
int EndSession(const BusBinding& bus, HWND window);
