#include "velk/BusLock.h"

#include <windows.h>

#include "velk/BusBlock.h"

namespace {

enum {
    kSpinRounds = 64,           // busy spins before giving up the time slice
    kYieldRounds = 128,         // then yields, then 1 ms sleeps
    kSleepsPerOwnerCheck = 32,  // how often a sleeping waiter looks at the holder
};

// The lock is held for a few memory operations: a lock this process has not
// seen free for this long has no holder coming back to it, whatever its word
// says (a forger may keep changing the word).
const DWORD kStuckLockMs = 10000;
// Once that bound has passed, a later wait still gives a holder this long to
// let go before the lock is taken over again.
const DWORD kGraceMs = 100;

LONG64 g_ownWord;               // this process's pid and creation stamp
volatile LONG g_heldHere;       // how many threads of this process hold the lock
// Since when every look of this process has found the lock taken (a tick
// count, never 0), or 0 once a wait saw it freed by its holder. Kept across
// calls: a word that is never let go costs one full bound, not one per call.
// Only a free seen while waiting counts: the first look of a wait may find
// this process's own release still standing.
volatile LONG g_takenSince;

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

void ResetLockWatch()
{
    InterlockedExchange(&g_takenSince, 0);
}

void LockBus(SharedBus* bus)
{
    volatile LONG64* word = reinterpret_cast<volatile LONG64*>(&bus->lockOwner);
    bool waiting = false;
    DWORD waitStarted = 0;
    for (unsigned round = 0;; ++round) {
        LONG64 holder = *word;
        if (holder == 0) {
            if (waiting)
                ResetLockWatch();   // let go by its holder: the lock works
            if (InterlockedCompareExchange64(word, g_ownWord, 0) == 0) {
                InterlockedIncrement(&g_heldHere);
                return;
            }
            continue;
        }
        if (!waiting || g_takenSince == 0) {
            DWORD now = GetTickCount();
            if (!waiting)
                waitStarted = now;
            waiting = true;
            InterlockedCompareExchange(&g_takenSince, static_cast<LONG>(now != 0 ? now : 1), 0);
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
        // Our own word while no thread of ours holds the lock, or a lock not
        // seen free for the whole bound: written by someone else, so nobody
        // will ever release it.
        DWORD now = GetTickCount();
        DWORD takenSince = static_cast<DWORD>(g_takenSince);
        bool stuck = takenSince != 0 && now - takenSince >= kStuckLockMs && now - waitStarted >= kGraceMs;
        bool ownForged = holder == g_ownWord && g_heldHere == 0;
        bool dead = holder != g_ownWord && ProcessIsGone(holder);
        if ((ownForged || dead || stuck) && InterlockedCompareExchange64(word, g_ownWord, holder) == holder) {
            InterlockedIncrement(&g_heldHere);
            if (ownForged || dead)
                ResetLockWatch();   // explained: nothing keeps the lock taken any more
            RepairBus(bus, dead ? holder : 0);
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
