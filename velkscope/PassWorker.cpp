#include "velkscope/PassWorker.h"

PassWorker::PassWorker(HWND window, UINT message, WPARAM token, FILE* file, const std::string& name,
                       const SignalDatabase* signals, const SignalCodePages& pages, ArrayValue arrayValue)
    : window_(window), message_(message), token_(token), file_(file), pass_(file, name, signals, pages, arrayValue),
      room_(CreateSemaphoreW(nullptr, kBatchesInFlight, kBatchesInFlight, nullptr)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

PassWorker::~PassWorker()
{
    SetEvent(stop_);
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    } else if (file_ != nullptr) {
        fclose(file_);
    }
    CloseHandle(room_);
    CloseHandle(stop_);
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

void PassWorker::Taken()
{
    ReleaseSemaphore(room_, 1, nullptr);
}

DWORD WINAPI PassWorker::Run(void* self)
{
    static_cast<PassWorker*>(self)->Pass();
    return 0;
}

void PassWorker::Pass()
{
    bool done = false;
    while (!done) {
        const HANDLE waits[2] = { stop_, room_ };
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        const bool stopping = woke != WAIT_OBJECT_0 + 1;
        PassBatch* batch = new PassBatch(pass_.Next(stopping ? 0 : static_cast<size_t>(kBatchMessages)));
        if (stopping && !batch->done) {
            batch->done = true;
            batch->cancelled = true;
        }
        done = batch->done;
        // The window may be gone (it waits for this thread before it goes).
        if (!PostMessageW(window_, message_, token_, reinterpret_cast<LPARAM>(batch)))
            delete batch;
    }
    fclose(file_);
    file_ = nullptr;
}
