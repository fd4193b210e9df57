// The stretch of a recording that a view finer than its summary shows,
// read again on a thread of its own (ReadRecordStretchFrom), so that the
// window draws on from the summary meanwhile. One job at a time; a newer
// request replaces one not yet started and stops one being read. Results
// are posted to the window (lParam a DetailResult the window deletes).
#pragma once
#include <string>
#include <vector>

#include <windows.h>

#include "velkscope/OffsetIndex.h"
#include "velkscope/ScopeModel.h"

struct DetailJob {
    WPARAM token = 0;               // the recording's
    std::vector<std::string> parts; // the recording's files (velkscope/ScopeParts.h)
    bool startKnown = false;        // the series' start, as its pass found it
    WallTime start = {};
    OffsetMark mark = {};           // where to start reading
    DetailRequest request;          // the source's own times, the traces
    const SignalDatabase* signals = nullptr;
    SignalCodePages pages = {};
    ArrayValue arrayValue = kArrayFirstByte;
};

struct DetailResult {
    WPARAM token;
    DetailRequest request;
    Detail detail;
};

class DetailWorker {
public:
    DetailWorker(HWND window, UINT message);
    ~DetailWorker();
    DetailWorker(const DetailWorker&) = delete;
    DetailWorker& operator=(const DetailWorker&) = delete;

    void Request(const DetailJob& job);
    // Drops the job waiting and waits for the one being read: before the
    // signal file or the recordings change under it.
    void Flush();

private:
    static DWORD WINAPI Run(void* self);
    void Serve();
    // The job's samples; false when a newer request came first.
    bool Read(const DetailJob& job, Detail* detail);

    HWND window_;
    UINT message_;
    CRITICAL_SECTION lock_;
    DetailJob waiting_;
    bool hasWaiting_ = false;
    bool busy_ = false;
    bool quit_ = false;
    volatile LONG newer_ = 0;       // a request came after the job being read
    HANDLE wake_;
    HANDLE idle_;                   // set while no job is being read
    HANDLE thread_ = nullptr;
};
