#include "velk/PayloadStore.h"

#include <string.h>

#include <atomic>

namespace {

const uint64_t kArenaMask = kPayloadArenaBytes - 1;

// Whether the slot's bytes and NUL lie inside the arena as stored: the only
// slots ever copied from.
bool SlotInBounds(const PayloadSlot& slot)
{
    return slot.length <= kMaxPayloadBytes && (slot.start & kArenaMask) + slot.length + 1 <= kPayloadArenaBytes;
}

// Bytes [start, start + bytes) survive until the head has gone a whole
// arena past start. The distance wraps as the positions do.
bool StillInArena(const SharedBus* bus, uint64_t start, uint32_t bytes)
{
    uint64_t distance = bus->arenaHead - start;
    return distance >= bytes && distance <= kPayloadArenaBytes;
}

} // namespace

uint32_t StorePayload(SharedBus* bus, const void* bytes, uint32_t length)
{
    if (length > kMaxPayloadBytes)
        return 0;
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

FetchVerdict FetchPayload(SharedBus* bus, uint32_t token, unsigned char* out, uint32_t* length)
{
    *length = 0;
    // A copy: what is checked is what is used, whatever the block does meanwhile.
    PayloadSlot slot = bus->slots[token % kPayloadSlots];
    if (token != 0 && slot.token == token) {
        if (!SlotInBounds(slot)) {
            bus->slots[token % kPayloadSlots].token = 0;
            ++bus->counters.repaired;
        } else if (StillInArena(bus, slot.start, slot.length + 1)) {
            memcpy(out, bus->arena + (slot.start & kArenaMask), slot.length + 1);
            *length = slot.length;
            return kFetched;
        }
    }
    uint32_t age = bus->nextToken - token;   // wraps with the tokens
    return token != 0 && age != 0 && age <= kRecentTokens ? kFetchExpired : kFetchUnknown;
}

void RepairPayloads(SharedBus* bus)
{
    for (uint32_t i = 0; i < kPayloadSlots; ++i) {
        PayloadSlot slot = bus->slots[i];
        if (slot.token != 0 && (slot.token % kPayloadSlots != i || !SlotInBounds(slot))) {
            bus->slots[i].token = 0;
            ++bus->counters.repaired;
        }
    }
    if (bus->nextToken == 0)
        bus->nextToken = 1;
}
