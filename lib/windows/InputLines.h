// Standard input read on a thread of its own and handed, line by line, to
// the thread that owns the bus window: a blocking read never holds off the
// bus. What waits between the two is bounded; a full queue makes the reader
// wait, so a writer faster than the bus is slowed down, not buffered without end.
#pragma once
#include <stdint.h>
#include <deque>
#include <string>

#include <windows.h>

struct InputItem {
    enum Kind { kLine, kTooLong, kEnd, kFailed } kind;
    uint64_t number;        // the line's, from 1
    uint64_t length;        // kTooLong: how long the line was
    std::string text;       // kLine: the line; kFailed: why reading failed
};

class InputLines {
public:
    // wakeMessage is posted to the thread wakeThread when items arrive in an
    // empty queue (and again by Take while items remain).
    InputLines(DWORD wakeThread, UINT wakeMessage, size_t maxLine);
    ~InputLines();
    InputLines(const InputLines&) = delete;
    InputLines& operator=(const InputLines&) = delete;

    // Starts reading standard input; false when the thread cannot be made.
    bool Start();
    // Takes up to max items (none when none wait, so it may be called any
    // time); asks to be woken again when more wait.
    void Take(size_t max, std::deque<InputItem>* items);

private:
    static DWORD WINAPI ReaderThread(void* self);
    void Read();
    void Push(InputItem item);
    void Wake();

    DWORD wakeThread_;
    UINT wakeMessage_;
    size_t maxLine_;
    HANDLE thread_;
    CRITICAL_SECTION lock_;
    CONDITION_VARIABLE roomFreed_;
    std::deque<InputItem> queue_;
    size_t queuedBytes_;
    bool wakePosted_;
};
