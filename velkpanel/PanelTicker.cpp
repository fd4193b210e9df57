#include "velkpanel/PanelTicker.h"

#include "windows/Clock.h"

PanelTicker::PanelTicker(HWND window, UINT message) : window_(window), message_(message)
{
    InitializeCriticalSection(&lock_);
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

PanelTicker::~PanelTicker()
{
    if (thread_ != nullptr) {
        EnterCriticalSection(&lock_);
        stop_ = true;
        LeaveCriticalSection(&lock_);
        SetEvent(wake_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (wake_ != nullptr)
        CloseHandle(wake_);
    DeleteCriticalSection(&lock_);
}

bool PanelTicker::Start()
{
    if (wake_ == nullptr)
        return false;
    thread_ = CreateThread(nullptr, 0, &PanelTicker::Run, this, 0, nullptr);
    return thread_ != nullptr;
}

void PanelTicker::SetDeadline(uint64_t ticks)
{
    EnterCriticalSection(&lock_);
    const bool sooner = ticks < deadline_;
    deadline_ = ticks;
    LeaveCriticalSection(&lock_);
    if (sooner)
        SetEvent(wake_);
}

uint64_t PanelTicker::Deadline(bool* stop)
{
    EnterCriticalSection(&lock_);
    const uint64_t deadline = deadline_;
    *stop = stop_;
    LeaveCriticalSection(&lock_);
    return deadline;
}

DWORD WINAPI PanelTicker::Run(void* self)
{
    static_cast<PanelTicker*>(self)->Loop();
    return 0;
}

void PanelTicker::Loop()
{
    FineTimerResolution fine;
    const uint64_t ticksPerMs = ClockTicksPerSecond() / 1000;
    for (;;) {
        bool stop = false;
        const uint64_t deadline = Deadline(&stop);
        if (stop)
            return;
        if (deadline == UINT64_MAX) {
            WaitForSingleObject(wake_, INFINITE);
            continue;
        }
        const uint64_t now = ClockTicks();
        if (now < deadline) {
            // Asleep to the deadline, rounded up; woken early by a sooner
            // one or the end. A wait ends within a millisecond or so after
            // it; the thread never spins, which under load would take the
            // time the window needs to send.
            const uint64_t ms = (deadline - now + ticksPerMs - 1) / ticksPerMs;
            WaitForSingleObject(wake_, static_cast<DWORD>(ms < 60000 ? ms : 60000));
            continue;
        }
        // Once per deadline: the window sets the next one when it has sent.
        EnterCriticalSection(&lock_);
        const bool current = deadline_ == deadline;
        if (current)
            deadline_ = UINT64_MAX;
        LeaveCriticalSection(&lock_);
        if (current)
            PostMessageW(window_, message_, 0, 0);
    }
}
