// What every command does at its end: turns a refused library call into an
// exit status, checks that its output was written, and warns when the bus
// ends with velkctl.
#pragma once
#include <string>

#include "client/BusBinding.h"
#include "client/ExitStatus.h"

// One line to standard output, flushed at once for a script that waits on it.
void PrintLine(const std::string& line);

// kExitOk for a result the library accepted; otherwise says on stderr
// "velkctl: <what> refused: <reason> (<result>)" and gives kExitRefused.
int CheckedResult(const char* what, int result);

// Output a script never got (a closed pipe, a full disk) is a failure too:
// flushes standard output, and false after saying on stderr that it failed.
bool StandardOutputWritten();

// A whole document (a chart, a page) into outPath, "-" for standard output:
// kExitOk, or kExitIo after saying why on stderr; a file half written is
// removed, as half a document is none.
int WriteDocument(const std::string& bytes, const std::string& outPath);

// For every command that changes the bus, once it has: when no other process
// has the bus open, says on stderr that the bus ends when velkctl exits and
// that whatIsLost ("this message is lost"). Says nothing when the library
// cannot tell.
void NoteIfBusEndsWithVelkctl(const BusBinding& bus, const char* whatIsLost);
