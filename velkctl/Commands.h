// velkctl's commands, each given a bound library and velkctl's window, each
// returning the process exit code.
#pragma once
#include <stdint.h>
#include <string>

#include <windows.h>

#include "client/BusBinding.h"
#include "client/ExitStatus.h"
#include "velkctl/Monitor.h"
#include "velkctl/PeriodicSend.h"

// Output a script never got (a closed pipe, a full disk) is a failure too:
// flushes standard output, and false after saying on stderr that it failed.
bool StandardOutputWritten();

// For every command that changes the bus, once it has: when no other process
// has the bus open, says on stderr that the bus ends when velkctl exits and
// that whatIsLost ("this message is lost"). Says nothing when the library
// cannot tell.
void NoteIfBusEndsWithVelkctl(const BusBinding& bus, const char* whatIsLost);

int SetVariable(const BusBinding& bus, int32_t index, int32_t value);
// The send commands post once, or as repeat says (then with a summary on stderr).
// signals: the sent message's signals, shown indented under its line as
// monitor shows them; empty for none.
int PostValue(const BusBinding& bus, HWND window, uint32_t code, int64_t value, const PeriodicOptions& repeat,
              const std::string& signals = std::string());
// A string message of any code: bytes as they are; the line shows control
// bytes escaped.
int SendStringPayload(const BusBinding& bus, HWND window, uint32_t code, const std::string& bytes,
                      const PeriodicOptions& repeat, const std::string& signals);
int SendArray(const BusBinding& bus, HWND window, uint32_t channel, const unsigned char* bytes, int count,
              const PeriodicOptions& repeat);
// An array message of any code and length the bus takes.
int SendArrayPayload(const BusBinding& bus, HWND window, uint32_t code, const std::string& bytes,
                     const PeriodicOptions& repeat, const std::string& signals);
int StopAll(const BusBinding& bus, HWND window);
int Monitor(const BusBinding& bus, HWND window, const MonitorOptions& options);
int EndSession(const BusBinding& bus, HWND window);
