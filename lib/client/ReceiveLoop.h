// The receiving side of monitor, record, stats, top and bridge, and the
// batches of velkscope and velkpanel (and the one post of a recorded message): registers a client's window, hands each bus message
// over as it is taken from the queue, and ends on a count, a time, a stop
// request or the session's end.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "client/BusBinding.h"
#include "formats/MessageFilter.h"
#include "formats/RecordLine.h"

struct ReceiveOptions {
    uint32_t mask;
    uint64_t count;            // stop after this many messages passed; 0: no limit
    uint64_t durationMicros;   // stop after this long; 0: no limit
    uint64_t tickMicros;       // call Tick this often, on absolute deadlines; 0: never
    const MessageFilter* filter;   // null: every message passes
};

enum ReceiveEnd {
    kReceiveCountReached,
    kReceiveTimeUp,
    kReceiveStopped,           // Ctrl+C, Ctrl+Break, console close, or Tick said so
    kReceiveSessionEnded,
};

class MessageSink {
public:
    virtual ~MessageSink() {}
    virtual void Receive(UINT code, LPARAM dataWord) = 0;
    // A message the filter kept out (its payload already fetched).
    virtual void FilteredOut(UINT) {}
    // The queue is empty: a moment to flush.
    virtual void Idle() {}
    // Another tick has come; false ends the receiving.
    virtual bool Tick() { return true; }
    // A message posted to the thread rather than to a window.
    virtual void ThreadMessage(const MSG&) {}
    // A deadline of the sink's own on ClockTicks (a simulation's next send),
    // UINT64_MAX for none: the loop wakes for it between messages, to the
    // clock's margin, and calls Due once it has come.
    virtual uint64_t DueTicks() { return UINT64_MAX; }
    virtual void Due() {}
    // Microseconds to let a flood gather before Idle: when a turn found
    // more than one message queued, the loop sleeps this long once and
    // takes what came meanwhile in the same turn, so a sink that writes at
    // Idle writes in fewer, larger pieces and the thread is woken once for
    // many messages, not for each. A lone message never waits. 0: never.
    virtual uint32_t LingerMicros() { return 0; }
};

// Returns how it ended, or the negative result of a failed registration.
// Messages the filter keeps out are taken off the queue and their payloads
// fetched as the console fetches every payload, then handed to FilteredOut.
// Except when the count is reached, the window is unregistered first and
// the messages already queued for it are handed over too, so every message
// the bus delivered to velkctl reaches the sink.
int ReceiveBusMessages(const BusBinding& bus, HWND window, const ReceiveOptions& options, MessageSink* sink);

// The bus messages already queued for window, in order, until limit have
// passed the filter (0: all there are): for a window whose loop is a
// dialog's (velkscope takes them in batches so) and for what is queued when
// a window leaves the bus. Returns how many passed.
uint64_t TakeQueuedMessages(const BusBinding& bus, HWND window, uint64_t limit, const MessageFilter* filter,
                            MessageSink* sink);

// A received message as a recording holds it, micros after the start. Its
// payload is fetched now, since the bus keeps payloads only for a while;
// *expired says it was gone.
RecordedMessage TakeMessage(const BusBinding& bus, UINT code, LPARAM dataWord, uint64_t micros, bool* expired);

// The other way: one message posted from window as recorded, a value or
// exactly the payload bytes (replay, session, simulate, bridge, velkpanel).
// vPostData's result, negative when refused.
int PostRecordedMessage(const BusBinding& bus, HWND window, const RecordedMessage& message);
