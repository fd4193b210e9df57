#include "velkscope/PassWorker.h"

#include <utility>

PassWorker::PassWorker(std::unique_ptr<RecordingPass> pass)
    : pass_(std::move(pass)),
      room_(CreateSemaphoreW(nullptr, kBatchesInFlight, kBatchesInFlight, nullptr)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    InitializeCriticalSection(&lock_);
}

PassWorker::~PassWorker()
{
    SetEvent(stop_);
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    CloseHandle(room_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

bool PassWorker::Start()
{
    if (room_ == nullptr || stop_ == nullptr)
        return false;
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    return thread_ != nullptr;
}

void PassWorker::Cancel()
{
    SetEvent(stop_);
}

std::unique_ptr<PassBatch> PassWorker::Take()
{
    std::unique_ptr<PassBatch> batch;
    EnterCriticalSection(&lock_);
    if (!ready_.empty()) {
        batch = std::move(ready_.front());
        ready_.pop_front();
    }
    LeaveCriticalSection(&lock_);
    if (batch != nullptr)
        ReleaseSemaphore(room_, 1, nullptr);
    return batch;
}

DWORD WINAPI PassWorker::Run(void* self)
{
    static_cast<PassWorker*>(self)->Pass();
    return 0;
}

void PassWorker::Pass()
{
    bool done = false;
    size_t wanted = kFirstBatchMessages;
    while (!done) {
        const HANDLE waits[2] = { stop_, room_ };
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        const bool stopping = woke != WAIT_OBJECT_0 + 1;
        std::unique_ptr<PassBatch> batch(new PassBatch(pass_->Next(stopping ? 0 : wanted)));
        wanted = kBatchMessages;
        if (stopping && !batch->done) {
            batch->done = true;
            batch->cancelled = true;
        }
        done = batch->done;
        EnterCriticalSection(&lock_);
        ready_.push_back(std::move(batch));
        LeaveCriticalSection(&lock_);
    }
    pass_.reset();   // its files closed as soon as it ends
}
