// The loop of velkctl session and bridge: request lines read on standard
// input and messages from the bus, both handed over on the one thread that
// owns the bus window, and lines written to standard output by a thread of
// its own (windows/OutputLines.h), so that neither a silent writer nor a
// reader who stops reading holds off the bus or Ctrl+C.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

#include <windows.h>

#include "client/ReceiveLoop.h"
#include "windows/OutputLines.h"

// What a program on this loop does with its lines; the bus's messages come
// through MessageSink. Every call is made on the bus window's thread.
class LineHandler : public MessageSink {
public:
    // Where its lines go; set once before any other call.
    virtual void Begin(OutputLines* output) = 0;
    // A line of standard input, numbered from 1, without its ending.
    virtual void Line(uint64_t number, const std::string& text) = 0;
    // A line longer than the loop's bound: skipped.
    virtual void TooLong(uint64_t number, uint64_t length) = 0;
    // No more lines: standard input ended, or could not be read (failed,
    // with why). Not called when TakesLines already said no for good.
    virtual void InputEnded(bool failed, const std::string& why) = 0;
    // False once it wants no more lines (a session after quit).
    virtual bool TakesLines() const { return true; }
    // Standard output cannot be written (why): the loop is ending.
    virtual void OutputFailed(const std::string& why) = 0;
};

struct LinesAndBusOptions {
    const char* name;          // "session": in "velkctl: session: cannot ..."
    size_t maxLine;            // a longer input line is TooLong
    size_t outputBound;        // bytes that wait unwritten before messages are dropped
    DWORD finishGraceMs;       // after Ctrl+C, how long the output may still take
    ReceiveOptions receive;
};

enum { kLinesAndBusCannotStart = -1000 };

// Runs until the receive loop ends (ReceiveBusMessages' result: a stop, a
// time, the session's end, or the negative result of a failed
// registration), then writes out what waits, within the grace after a stop.
// kLinesAndBusCannotStart when a thread could not be made (said on stderr).
// *unwritten counts the lines left unwritten at the end.
int RunLinesAndBus(const BusBinding& bus, HWND window, const LinesAndBusOptions& options, LineHandler* handler,
                   uint64_t* unwritten);
