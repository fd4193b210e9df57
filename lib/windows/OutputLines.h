// Standard output written by a thread of its own: the thread that owns the
// bus window only queues lines, so a reader who stops reading holds off
// neither the bus nor Ctrl+C. What waits unwritten is bounded: past the
// bound, lines that may be dropped are, and counted.
#pragma once
#include <stdint.h>
#include <string>

#include <windows.h>

class OutputLines {
public:
    // bound: bytes that may wait unwritten before droppable lines are dropped.
    explicit OutputLines(size_t bound);
    ~OutputLines();
    OutputLines(const OutputLines&) = delete;
    OutputLines& operator=(const OutputLines&) = delete;

    // Starts writing to standard output; false when the thread cannot be made.
    bool Start();

    // Queues the line and a newline whatever waits (an answer to a request:
    // the caller holds back further requests while Full()).
    void Write(const std::string& line);
    // Queues it unless more than the bound waits; false: dropped, counted.
    bool WriteIfRoom(const std::string& line);
    bool Full() const;
    uint64_t Dropped() const;

    // A write failed (the reader has gone): *why says how. Nothing more is
    // written after that.
    bool Failed(std::string* why) const;

    // Waits until everything queued is written or a write failed; once the
    // user asks to stop (Ctrl+C), at most graceMs more. The lines still
    // waiting then are left unwritten and counted. True when all went out.
    bool Finish(DWORD graceMs, uint64_t* unwrittenLines);

private:
    static DWORD WINAPI WriterThread(void* self);
    void WriteOut();
    void Queue(const std::string& line);

    const size_t bound_;
    HANDLE thread_;
    HANDLE output_;
    mutable CRITICAL_SECTION lock_;
    CONDITION_VARIABLE changed_;     // lines queued, or the queue written
    std::string waiting_;            // whole lines, newline-ended
    uint64_t waitingLines_;
    bool writing_;                   // the writer holds lines taken from waiting_
    uint64_t writingLines_;
    uint64_t dropped_;
    bool failed_;
    DWORD error_;
};
