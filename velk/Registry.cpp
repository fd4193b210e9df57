#include "velk/Registry.h"

#include <string.h>

#include <atomic>

#include "velk/BusLock.h"
#include "velk/VelkLibrary.h"

namespace {

// Window handles are reused, so a registry that only learns of departures
// when a post fails would route to a stranger for a while: a sweep bounds that.
const DWORD kSweepIntervalMs = 1000;

int FindClient(const SharedBus* bus, uint32_t window)
{
    for (uint32_t i = 0; i < bus->clientCount; ++i)
        if (bus->clients[i].window == window)
            return static_cast<int>(i);
    return -1;
}

// Keeps the registry packed: the last entry moves into the hole.
void RemoveAt(SharedBus* bus, uint32_t index)
{
    uint32_t last = bus->clientCount - 1;
    if (index != last)
        bus->clients[index] = bus->clients[last];
    std::atomic_signal_fence(std::memory_order_seq_cst);   // a crash leaves a duplicate, never a hole
    bus->clientCount = last;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    memset(&bus->clients[last], 0, sizeof(BusClient));     // nothing stale beyond the count
}

} // namespace

uint32_t WindowBits(HWND window)
{
    return static_cast<uint32_t>(HandleToULong(window));
}

HWND WindowOf(uint32_t bits)
{
    return static_cast<HWND>(LongToHandle(static_cast<LONG>(bits)));
}

int RegisterClient(SharedBus* bus, const BusClient& client)
{
    int found = FindClient(bus, client.window);
    if (found >= 0) {
        bus->clients[found] = client;
        return kVelkOk;
    }
    if (bus->clientCount >= kMaxClients)
        return kVelkRegistryFull;
    // The entry is complete before the count admits it.
    bus->clients[bus->clientCount] = client;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    ++bus->clientCount;
    return kVelkOk;
}

int UnregisterClient(SharedBus* bus, uint32_t window)
{
    int found = FindClient(bus, window);
    if (found < 0)
        return kVelkNotRegistered;
    RemoveAt(bus, static_cast<uint32_t>(found));
    return kVelkOk;
}

uint32_t CollectReceivers(const SharedBus* bus, uint32_t code, Receiver receivers[kMaxClients])
{
    uint32_t count = 0;
    uint32_t wanted = code & kMessageTypeBits;
    for (uint32_t i = 0; i < bus->clientCount; ++i) {
        const BusClient& client = bus->clients[i];
        if ((client.mask & wanted) != 0) {
            receivers[count].window = client.window;
            receivers[count].pid = client.pid;
            ++count;
        }
    }
    return count;
}

void ForgetVanishedClient(SharedBus* bus, uint32_t window, uint32_t pid)
{
    int found = FindClient(bus, window);
    if (found < 0 || bus->clients[found].pid != pid)
        return;
    RemoveAt(bus, static_cast<uint32_t>(found));
    ++bus->counters.pruned;
}

void RepairRegistry(SharedBus* bus)
{
    if (bus->clientCount > kMaxClients)
        bus->clientCount = kMaxClients;
    uint32_t i = 0;
    while (i < bus->clientCount) {
        BusClient& client = bus->clients[i];
        client.name[kClientNameBytes - 1] = '\0';
        bool torn = client.window == 0 || client.pid == 0;
        bool duplicate = FindClient(bus, client.window) != static_cast<int>(i);
        if (torn || duplicate)
            RemoveAt(bus, i);   // the moved-in entry is looked at next
        else
            ++i;
    }
}

void PruneVanishedClients(SharedBus* bus)
{
    BusClient clients[kMaxClients];
    uint32_t count;
    {
        BusLock lock(bus);
        count = bus->clientCount;
        memcpy(clients, bus->clients, count * sizeof(BusClient));
    }
    // Asked without the lock: each question is a trip to the window system.
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

void PruneVanishedClientsWhenDue(SharedBus* bus)
{
    volatile LONG* lastSweep = reinterpret_cast<volatile LONG*>(&bus->lastSweepTick);
    LONG last = *lastSweep;
    DWORD now = GetTickCount();
    if (now - static_cast<DWORD>(last) < kSweepIntervalMs)
        return;
    // Claimed first: of several senders that find the sweep due, one sweeps.
    if (InterlockedCompareExchange(lastSweep, static_cast<LONG>(now), last) == last)
        PruneVanishedClients(bus);
}
