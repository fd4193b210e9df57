// The bus lock: a word in the shared block taken with interlocked operations,
// so the hot path never waits on a kernel object. Held only for a few
// memory operations, never across a call into the window system.
#pragma once
#include "velk/SharedBus.h"

// Once per process, before the first LockBus.
void PrepareBusLock();

// This process's lock word: its pid and a stamp of its creation time.
int64_t OwnLockWord();

// True when the process of a lock word no longer runs. A pid that now
// belongs to a younger process does not count as it.
bool ProcessIsGone(int64_t word);

// Waits for the lock. A holder that died is detected and the lock taken over;
// so is a lock this process has not seen free for 10 s, whatever its word
// (later waits then give a holder 100 ms before taking it over again, until
// the lock is seen free). The shared state is repaired before this returns.
void LockBus(SharedBus* bus);

// Forgets how long the lock has been seen taken: for a bus newly attached.
void ResetLockWatch();
void UnlockBus(SharedBus* bus);

class BusLock {
public:
    explicit BusLock(SharedBus* bus) : bus_(bus) { LockBus(bus_); }
    ~BusLock() { UnlockBus(bus_); }
    BusLock(const BusLock&) = delete;
    BusLock& operator=(const BusLock&) = delete;

private:
    SharedBus* bus_;
};
