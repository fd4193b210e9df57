#include "velk/BusLock.h"

#include <windows.h>

#include "velk/BusBlock.h"

namespace {

enum {
    kSpinRounds = 64,           // busy spins before giving up the time slice
    kYieldRounds = 128,         // then yields, then 1 ms sleeps
    kSleepsPerOwnerCheck = 32,  // how often a sleeping waiter looks at the holder
};

// The lock is held for a few memory operations: a word that never frees for
// this long was not written by a holder (nor is one coming back to it).
const DWORD kStuckHolderMs = 10000;

LONG64 g_ownWord;               // this process's pid and creation stamp
volatile LONG g_heldHere;       // how many threads of this process hold the lock

uint32_t StampOf(const FILETIME& created)
{
    return created.dwLowDateTime ^ created.dwHighDateTime;
}

LONG64 LockWord(DWORD pid, uint32_t stamp)
{
    return static_cast<LONG64>((static_cast<uint64_t>(stamp) << 32) | pid);
}

} // namespace

bool ProcessIsGone(int64_t word)
{
    DWORD pid = static_cast<DWORD>(static_cast<uint64_t>(word) & 0xFFFFFFFFu);
    uint32_t stamp = static_cast<uint32_t>(static_cast<uint64_t>(word) >> 32);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == NULL)
        return GetLastError() == ERROR_INVALID_PARAMETER;   // no such process
    bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    FILETIME created, exited, kernel, user;
    if (!gone && GetProcessTimes(process, &created, &exited, &kernel, &user))
        gone = StampOf(created) != stamp;
    CloseHandle(process);
    return gone;
}

int64_t OwnLockWord()
{
    return g_ownWord;
}

void PrepareBusLock()
{
    FILETIME created, exited, kernel, user;
    uint32_t stamp = 0;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        stamp = StampOf(created);
    g_ownWord = LockWord(GetCurrentProcessId(), stamp);
}

void LockBus(SharedBus* bus)
{
    volatile LONG64* word = reinterpret_cast<volatile LONG64*>(&bus->lockOwner);
    LONG64 watched = 0;          // the holder seen at every look since watchedSince
    DWORD watchedSince = 0;
    for (unsigned round = 0;; ++round) {
        LONG64 holder = *word;
        if (holder == 0) {
            watched = 0;
            if (InterlockedCompareExchange64(word, g_ownWord, 0) == 0) {
                InterlockedIncrement(&g_heldHere);
                return;
            }
            continue;
        }
        if (round < kSpinRounds) {
            YieldProcessor();
            continue;
        }
        if (round < kYieldRounds) {
            SwitchToThread();
            continue;
        }
        Sleep(1);
        if ((round - kYieldRounds) % kSleepsPerOwnerCheck != kSleepsPerOwnerCheck - 1)
            continue;
        if (holder != watched) {
            watched = holder;
            watchedSince = GetTickCount();
        }
        // Our own word while no thread of ours holds the lock, or a live
        // process's word that never frees: written by someone else, so
        // nobody will ever release it.
        bool forged = (holder == g_ownWord && g_heldHere == 0) || GetTickCount() - watchedSince >= kStuckHolderMs;
        if ((forged || (holder != g_ownWord && ProcessIsGone(holder)))
            && InterlockedCompareExchange64(word, g_ownWord, holder) == holder) {
            InterlockedIncrement(&g_heldHere);
            RepairBus(bus, forged ? 0 : holder);
            ++bus->counters.lockRecoveries;
            return;
        }
    }
}

void UnlockBus(SharedBus* bus)
{
    InterlockedDecrement(&g_heldHere);
    InterlockedExchange64(reinterpret_cast<volatile LONG64*>(&bus->lockOwner), 0);
}
