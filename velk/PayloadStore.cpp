#include "velk/PayloadStore.h"

#include <string.h>

#include <atomic>

namespace {

const uint64_t kArenaMask = kPayloadArenaBytes - 1;

// Bytes [start, start + bytes) survive until the head has gone a whole
// arena past start.
bool StillInArena(const SharedBus* bus, uint64_t start, uint32_t bytes)
{
    return start + bytes <= bus->arenaHead && bus->arenaHead - start <= kPayloadArenaBytes;
}

} // namespace

uint32_t StorePayload(SharedBus* bus, const void* bytes, uint32_t length)
{
    uint32_t stored = length + 1;
    uint64_t start = bus->arenaHead;
    uint64_t room = kPayloadArenaBytes - (start & kArenaMask);
    if (room < stored)
        start += room;   // a payload never wraps: skip to the arena's beginning

    unsigned char* target = bus->arena + (start & kArenaMask);
    if (length > 0)
        memcpy(target, bytes, length);
    target[length] = '\0';
    bus->arenaHead = start + stored;

    uint32_t token = bus->nextToken++;
    if (token == 0)
        token = bus->nextToken++;   // 0 is no token
    PayloadSlot& slot = bus->slots[token % kPayloadSlots];
    // Published last, so a crash midway leaves the slot free rather than wrong.
    slot.token = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.start = start;
    slot.length = length;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.token = token;
    return token;
}

bool FetchPayload(const SharedBus* bus, uint32_t token, unsigned char* out, uint32_t* length)
{
    const PayloadSlot& slot = bus->slots[token % kPayloadSlots];
    if (token == 0 || slot.token != token || !StillInArena(bus, slot.start, slot.length + 1))
        return false;
    memcpy(out, bus->arena + (slot.start & kArenaMask), slot.length + 1);
    *length = slot.length;
    return true;
}

void RepairPayloads(SharedBus* bus)
{
    for (uint32_t i = 0; i < kPayloadSlots; ++i) {
        PayloadSlot& slot = bus->slots[i];
        if (slot.token == 0)
            continue;
        bool torn = slot.length > kMaxPayloadBytes || slot.token % kPayloadSlots != i
                    || ((slot.start & kArenaMask) + slot.length + 1) > kPayloadArenaBytes;
        if (torn)
            slot.token = 0;
    }
    if (bus->nextToken == 0)
        bus->nextToken = 1;
}
