// A recording's reading pass (velkscope/RecordingPass.h) on a thread of its
// own. Its batches are posted to the window as they come (the message's
// wParam the caller's token, lParam a PassBatch the window deletes); at
// most kBatchesInFlight wait at once, so a window busy elsewhere never has
// the file piled up in its queue. The last batch says done.
#pragma once
#include <stdio.h>
#include <string>

#include <windows.h>

#include "velkscope/RecordingPass.h"

class PassWorker {
public:
    enum { kBatchesInFlight = 4, kBatchMessages = 32768 };

    // file: opened "rb" by the caller, closed by the worker when it ends.
    // signals must outlive the worker.
    PassWorker(HWND window, UINT message, WPARAM token, FILE* file, const std::string& name,
               const SignalDatabase* signals, const SignalCodePages& pages, ArrayValue arrayValue);
    // Stops the pass and waits for its thread.
    ~PassWorker();
    PassWorker(const PassWorker&) = delete;
    PassWorker& operator=(const PassWorker&) = delete;

    bool Start();
    // The pass stops at its next batch; that batch says cancelled.
    void Cancel();
    // The window has taken a batch: room for another.
    void Taken();

private:
    static DWORD WINAPI Run(void* self);
    void Pass();

    HWND window_;
    UINT message_;
    WPARAM token_;
    FILE* file_;
    RecordingPass pass_;
    HANDLE thread_ = nullptr;
    HANDLE room_;        // a semaphore: batches the window may still be sent
    HANDLE stop_;        // an event: Cancel or the destructor
};
