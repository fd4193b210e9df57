// Triggered recording: the last pre-window of messages held in bounded
// memory, and on a trigger that window, the trigger's message and then
// everything for the post-window, one file per trigger. Pure logic: times
// come in as micros, files go out through a sink.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <deque>

#include "formats/RecordLine.h"

struct TriggerLimits {
    uint64_t preMicros;        // the window kept before a trigger
    uint64_t postMicros;       // the window written after it
    unsigned maxTriggers;      // files at most (record --retrigger N; 1 without)
    size_t maxMessages;        // the ring holds at most this many messages ...
    size_t maxBytes;           // ... and this many bytes, as RingMessageBytes counts them
};

// What a message held in the ring costs in memory: the ring's element, and
// a payload too long for the string's own buffer in a heap block (its
// capacity and the string's NUL, the heap's 16-byte header, in 16-byte steps).
size_t RingMessageBytes(const RecordedMessage& message);

// Where the files go. Each trigger gives Begin, its messages in order, End.
class TriggerSink {
public:
    virtual ~TriggerSink() {}
    // number counts the files from 1. cut: the ring's cap pushed out
    // messages younger than the pre-window, so the file starts late.
    virtual void Begin(unsigned number, uint64_t triggerMicros, bool cut) = 0;
    // trigger: the message the predicate held on (one a file).
    virtual void Write(const RecordedMessage& message, bool trigger) = 0;
    virtual void End(unsigned number) = 0;
};

class TriggerRing {
public:
    TriggerRing(const TriggerLimits& limits, TriggerSink* sink) : limits_(limits), sink_(sink) {}

    // Each message in time order; triggered: the predicate held on it. A
    // trigger inside a post-window belongs to that window's file, as any
    // message; one after the last file is ignored. kept false: a message the
    // filters keep out, which is never written but may still trigger, then
    // written as its file's trigger.
    void Add(const RecordedMessage& message, bool triggered, bool kept = true);

    // The time now, with or without messages: ends a post-window that is past.
    void Tick(uint64_t nowMicros);

    // Ends an open file (the recording stops before its post-window did).
    void Finish();

    // Every file written and closed: the recording can stop.
    bool Done() const { return !posting_ && files_ >= limits_.maxTriggers; }

    // Messages the cap pushed out of the ring while still inside the
    // pre-window (0: the cap never cut a window short).
    uint64_t CapDropped() const { return capDropped_; }

    unsigned Files() const { return files_; }

private:
    void Keep(const RecordedMessage& message);
    void Age(uint64_t nowMicros);
    void Forget();

    TriggerLimits limits_;
    TriggerSink* sink_;
    std::deque<RecordedMessage> ring_;
    size_t ringBytes_ = 0;
    uint64_t capDropped_ = 0;
    uint64_t newestCapDropped_ = 0;   // micros + 1 of the youngest message the cap dropped; 0: none
    bool posting_ = false;
    uint64_t postEnd_ = 0;
    unsigned files_ = 0;
};
