// The bus lock: a word in the shared block taken with interlocked operations,
// so the hot path never waits on a kernel object. Held only for a few
// memory operations, never across a call into the window system.
#pragma once
#include "velk/SharedBus.h"

// Once per process, before the first LockBus.
void PrepareBusLock();

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
