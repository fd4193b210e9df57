// A recording's reading pass (velkscope/RecordingPass.h) on a thread of its
// own. Its batches wait in a queue of at most kBatchesInFlight until the
// window takes them, from its timer: a timer comes after input and paint,
// so however fast the file is read, the window answers the mouse and keys
// first, and the file never piles up in memory. The last batch says done.
#pragma once
#include <stdio.h>

#include <deque>
#include <memory>
#include <string>

#include <windows.h>

#include "velkscope/RecordingPass.h"

class PassWorker {
public:
    // The first batch is small, so that the first picture comes at once.
    enum { kBatchesInFlight = 4, kFirstBatchMessages = 4096, kBatchMessages = 32768 };

    // Reads on with pass (which owns what it reads); the pass's signal
    // file must outlive the worker.
    explicit PassWorker(std::unique_ptr<RecordingPass> pass);
    // Stops the pass and waits for its thread.
    ~PassWorker();
    PassWorker(const PassWorker&) = delete;
    PassWorker& operator=(const PassWorker&) = delete;

    bool Start();
    // The pass stops at its next batch; that batch says cancelled.
    void Cancel();
    // The oldest batch read, if one is there (never waits).
    std::unique_ptr<PassBatch> Take();

private:
    static DWORD WINAPI Run(void* self);
    void Pass();

    std::unique_ptr<RecordingPass> pass_;
    HANDLE thread_ = nullptr;
    HANDLE room_;        // a semaphore: batches the queue has room for
    HANDLE stop_;        // an event: Cancel or the destructor
    CRITICAL_SECTION lock_;
    std::deque<std::unique_ptr<PassBatch>> ready_;
};
