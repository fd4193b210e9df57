// The tests' seams, built into velk_testable.dll only (velk/TestSeams.h).
#include <windows.h>

#include "velk/BusLink.h"
#include "velk/BusLock.h"
#include "velk/Delivery.h"
#include "velk/TestSeams.h"
#include "velk/VelkResults.h"

extern "C" {

int __cdecl velkTestSelectBus(void)
{
    DetachBus();
    int status;
    AttachedBus(&status);
    return status;
}

void __cdecl velkTestFailPosts(int count)
{
    FailNextPosts(count);
}

void __cdecl velkTestDieHolding(int what)
{
    int status;
    SharedBus* bus = AttachedBus(&status);
    if (bus == NULL)
        return;
    if (what == kVelkTestDieHoldingLock) {
        LockBus(bus);
        bus->clientCount += 5;   // a registration cut short, as far as the count goes
    } else if (what == kVelkTestDieHoldingMutex) {
        if (HoldBusMutex() != kVelkOk)
            return;
    } else {
        return;
    }
    TerminateProcess(GetCurrentProcess(), 3);
}

} // extern "C"
