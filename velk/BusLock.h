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
// the shared state is then repaired before this returns.
void LockBus(SharedBus* bus);
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
