#include "velk/Departures.h"

#include <windows.h>

#include "velk/BusLock.h"
#include "velk/PostLedger.h"
#include "velk/Registry.h"
#include "velk/WindowBits.h"

namespace {

// Window handles are reused, so a registry that only learns of departures
// when a post fails would route to a stranger for a while: a sweep bounds that.
const DWORD kSweepIntervalMs = 1000;

} // namespace

void PruneVanishedClients(SharedBus* bus)
{
    BusClient clients[kMaxClients];
    uint32_t count;
    {
        BusLock lock(bus);
        count = CopyClients(bus, clients);
    }
    uint32_t vanished[kMaxClients];
    uint32_t vanishedCount = 0;
    for (uint32_t i = 0; i < count; ++i) {
        DWORD pid = 0;
        if (GetWindowThreadProcessId(WindowOf(clients[i].window), &pid) == 0 || pid != clients[i].pid)
            vanished[vanishedCount++] = i;
    }
    if (vanishedCount == 0)
        return;
    BusLock lock(bus);
    for (uint32_t i = 0; i < vanishedCount; ++i)
        ForgetVanishedClient(bus, clients[vanished[i]].window, clients[vanished[i]].pid);
}

void SettleDeadSenders(SharedBus* bus)
{
    int64_t owners[kPostRecords];
    uint32_t count;
    {
        BusLock lock(bus);
        count = SendingOwners(bus, owners);
    }
    int64_t own = OwnLockWord();
    for (uint32_t i = 0; i < count; ++i) {
        if (owners[i] != own && ProcessIsGone(owners[i])) {
            BusLock lock(bus);
            CloseDeadOwnersPosts(bus, owners[i]);
        }
    }
}

void SweepDeparturesWhenDue(SharedBus* bus)
{
    volatile LONG* lastSweep = reinterpret_cast<volatile LONG*>(&bus->lastSweepTick);
    LONG last = *lastSweep;
    DWORD now = GetTickCount();
    if (now - static_cast<DWORD>(last) < kSweepIntervalMs)
        return;
    // Claimed first: of several senders that find the sweep due, one sweeps.
    if (InterlockedCompareExchange(lastSweep, static_cast<LONG>(now), last) == last) {
        PruneVanishedClients(bus);
        SettleDeadSenders(bus);
    }
}
