#include "velk/Registry.h"

#include <string.h>

#include <atomic>

#include "velk/VelkResults.h"

namespace {

const uint32_t kBroadcastWindow = 0xFFFF;

// Keeps the registry packed: the last entry moves into the hole.
void RemoveAt(SharedBus* bus, uint32_t count, uint32_t index)
{
    uint32_t last = count - 1;
    if (index != last)
        bus->clients[index] = bus->clients[last];
    std::atomic_signal_fence(std::memory_order_seq_cst);   // a crash leaves a duplicate, never a hole
    bus->clientCount = last;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    memset(&bus->clients[last], 0, sizeof(BusClient));     // nothing stale beyond the count
}

} // namespace

int FindClient(const BusClient* clients, uint32_t count, uint32_t window)
{
    for (uint32_t i = 0; i < count; ++i)
        if (clients[i].window == window)
            return static_cast<int>(i);
    return -1;
}

bool UsableWindow(uint32_t window)
{
    return window != 0 && window != kBroadcastWindow;
}

uint32_t ClientCount(SharedBus* bus)
{
    uint32_t count = bus->clientCount;
    if (count > kMaxClients) {
        RepairRegistry(bus);
        count = bus->clientCount;
    }
    return count <= kMaxClients ? count : kMaxClients;   // read once more: it is checked again
}

int RegisterClient(SharedBus* bus, const BusClient& client)
{
    uint32_t count = ClientCount(bus);
    int found = FindClient(bus->clients, count, client.window);
    if (found >= 0) {
        bus->clients[found] = client;
        return kVelkOk;
    }
    if (count >= kMaxClients)
        return kVelkRegistryFull;
    // The entry is complete before the count admits it.
    bus->clients[count] = client;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    bus->clientCount = count + 1;
    return kVelkOk;
}

int UnregisterClient(SharedBus* bus, uint32_t window)
{
    uint32_t count = ClientCount(bus);
    int found = FindClient(bus->clients, count, window);
    if (found < 0)
        return kVelkNotRegistered;
    RemoveAt(bus, count, static_cast<uint32_t>(found));
    return kVelkOk;
}

uint32_t CollectReceivers(SharedBus* bus, uint32_t code, uint32_t sender, Receiver receivers[kMaxClients])
{
    uint32_t clients = ClientCount(bus);
    uint32_t count = 0;
    uint32_t wanted = code & kMessageTypeBits;
    for (uint32_t i = 0; i < clients; ++i) {
        const BusClient& client = bus->clients[i];
        bool ownPost = client.window == sender && (client.mask & kMaskNoOwnMessages) != 0;
        if ((client.mask & wanted) != 0 && UsableWindow(client.window) && !ownPost) {
            receivers[count].window = client.window;
            receivers[count].pid = client.pid;
            ++count;
        }
    }
    return count;
}

uint32_t CopyClients(SharedBus* bus, BusClient clients[kMaxClients])
{
    uint32_t count = ClientCount(bus);
    memcpy(clients, bus->clients, count * sizeof(BusClient));
    return count;
}

void ForgetVanishedClient(SharedBus* bus, uint32_t window, uint32_t pid)
{
    uint32_t count = ClientCount(bus);
    int found = FindClient(bus->clients, count, window);
    if (found < 0 || bus->clients[found].pid != pid)
        return;
    RemoveAt(bus, count, static_cast<uint32_t>(found));
    ++bus->counters.pruned;
}

bool RestoreClient(SharedBus* bus, const BusClient& client)
{
    int found = FindClient(bus->clients, ClientCount(bus), client.window);
    if (found >= 0 && memcmp(&bus->clients[found], &client, sizeof client) == 0)
        return false;
    if (RegisterClient(bus, client) != kVelkOk)
        return false;
    ++bus->counters.repaired;
    return true;
}

void RepairRegistry(SharedBus* bus)
{
    uint32_t count = bus->clientCount;
    if (count > kMaxClients) {
        count = kMaxClients;
        bus->clientCount = count;
        ++bus->counters.repaired;
    }
    uint32_t i = 0;
    while (i < count) {
        BusClient& client = bus->clients[i];
        client.name[kClientNameBytes - 1] = '\0';
        bool torn = !UsableWindow(client.window) || client.pid == 0;
        bool duplicate = FindClient(bus->clients, i, client.window) >= 0;
        if (torn || duplicate) {
            RemoveAt(bus, count--, i);   // the moved-in entry is looked at next
            ++bus->counters.repaired;
        } else {
            ++i;
        }
    }
}
