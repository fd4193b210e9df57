#include "velkscope/DetailWorker.h"

#include <stdio.h>

#include <algorithm>

#include "velkscope/ScopeParts.h"

DetailWorker::DetailWorker(HWND window, UINT message)
    : window_(window), message_(message), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      idle_(CreateEventW(nullptr, TRUE, TRUE, nullptr))
{
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

DetailWorker::~DetailWorker()
{
    EnterCriticalSection(&lock_);
    quit_ = true;
    hasWaiting_ = false;
    LeaveCriticalSection(&lock_);
    InterlockedExchange(&newer_, 1);
    SetEvent(wake_);
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    CloseHandle(wake_);
    CloseHandle(idle_);
    DeleteCriticalSection(&lock_);
}

void DetailWorker::Request(const DetailJob& job)
{
    EnterCriticalSection(&lock_);
    waiting_ = job;
    hasWaiting_ = true;
    if (busy_)
        InterlockedExchange(&newer_, 1);
    LeaveCriticalSection(&lock_);
    SetEvent(wake_);
}

void DetailWorker::Flush()
{
    EnterCriticalSection(&lock_);
    hasWaiting_ = false;
    if (busy_)
        InterlockedExchange(&newer_, 1);
    LeaveCriticalSection(&lock_);
    WaitForSingleObject(idle_, INFINITE);
}

DWORD WINAPI DetailWorker::Run(void* self)
{
    static_cast<DetailWorker*>(self)->Serve();
    return 0;
}

void DetailWorker::Serve()
{
    for (;;) {
        WaitForSingleObject(wake_, INFINITE);
        EnterCriticalSection(&lock_);
        if (quit_) {
            LeaveCriticalSection(&lock_);
            return;
        }
        if (!hasWaiting_) {
            LeaveCriticalSection(&lock_);
            continue;
        }
        DetailJob job = waiting_;
        hasWaiting_ = false;
        busy_ = true;
        InterlockedExchange(&newer_, 0);
        ResetEvent(idle_);
        LeaveCriticalSection(&lock_);

        DetailResult* result = new DetailResult{ job.token, job.request, Detail() };
        if (Read(job, &result->detail) && PostMessageW(window_, message_, 0, reinterpret_cast<LPARAM>(result)))
            result = nullptr;
        delete result;

        EnterCriticalSection(&lock_);
        busy_ = false;
        SetEvent(idle_);
        if (hasWaiting_)
            SetEvent(wake_);
        LeaveCriticalSection(&lock_);
    }
}

bool DetailWorker::Read(const DetailJob& job, Detail* detail)
{
    std::unique_ptr<SeriesReader> reader = ReadScopeRecording(job.parts);
    const DetailRequest& request = job.request;
    DetailCollector collector(request, job.signals, job.pages, job.arrayValue);
    size_t taken = 0;
    std::string error;
    bool stopped = false;
    ReadRecordStretchFrom(reader.get(), job.startKnown ? &job.start : nullptr, job.mark,
                          static_cast<uint64_t>(std::max<int64_t>(request.from, 0)),
                          static_cast<uint64_t>(std::max<int64_t>(request.to, 0)), [&](const RecordedMessage& message) {
        if ((++taken & 4095) == 0 && InterlockedCompareExchange(&newer_, 0, 0) != 0) {
            stopped = true;
            return false;
        }
        collector.Add(message);
        return true;
    }, &error);
    *detail = collector.Take();
    return !stopped;
}
