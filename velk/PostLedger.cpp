#include "velk/PostLedger.h"

#include <atomic>

namespace {

void Fence()
{
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

// A copy of the record, checked: false (and the record freed, counted as
// repaired) when its numbers cannot be a post's.
bool ReadRecord(SharedBus* bus, int index, PostRecord* record)
{
    *record = bus->posts[index];
    bool sound = record->phase <= kPostClosing && record->receivers <= kMaxClients
                 && static_cast<uint64_t>(record->delivered) + record->dropped <= record->receivers;
    if (!sound) {
        bus->posts[index].phase = kPostFree;
        ++bus->counters.repaired;
    }
    return sound;
}

// The counter updates of closing, from the values saved before them: the
// same result however often they are redone.
void ApplyClose(SharedBus* bus, const PostRecord& record)
{
    bus->counters.delivered = record.before[0] + record.delivered;
    bus->counters.dropped = record.before[1] + record.dropped;
    bus->counters.abandoned = record.before[2] + (record.receivers - record.delivered - record.dropped);
}

void ApplyOpen(SharedBus* bus, const PostRecord& record)
{
    bus->counters.posted = record.before[0] + 1;
    bus->counters.routed = record.before[1] + record.receivers;
}

// Writes record's numbers into the shared record, then marks them complete
// with the phase `applying`, applies them to the counters and moves on to
// `after`: a death at any step leaves a record RepairPosts can finish.
void Commit(SharedBus* bus, PostRecord& shared, const PostRecord& record, uint32_t applying,
            void (*apply)(SharedBus*, const PostRecord&), uint32_t after)
{
    shared.owner = record.owner;
    shared.receivers = record.receivers;
    shared.delivered = record.delivered;
    shared.dropped = record.dropped;
    for (int i = 0; i < 3; ++i)
        shared.before[i] = record.before[i];
    Fence();
    shared.phase = applying;
    Fence();
    apply(bus, record);
    Fence();
    shared.phase = after;
}

void Close(SharedBus* bus, int index, PostRecord record)
{
    record.before[0] = bus->counters.delivered;
    record.before[1] = bus->counters.dropped;
    record.before[2] = bus->counters.abandoned;
    Commit(bus, bus->posts[index], record, kPostClosing, ApplyClose, kPostFree);
}

} // namespace

int OpenPost(SharedBus* bus, int64_t owner, uint32_t receivers)
{
    if (receivers > kMaxClients)
        return -1;
    for (int i = 0; i < static_cast<int>(kPostRecords); ++i) {
        if (bus->posts[i].phase != kPostFree)
            continue;
        PostRecord record = {};
        record.owner = owner;
        record.receivers = receivers;
        record.before[0] = bus->counters.posted;
        record.before[1] = bus->counters.routed;
        Commit(bus, bus->posts[i], record, kPostOpening, ApplyOpen, kPostSending);
        return i;
    }
    return -1;
}

void NoteProgress(SharedBus* bus, int record, int64_t owner, uint32_t delivered, uint32_t dropped)
{
    PostRecord& shared = bus->posts[record];
    if (shared.owner != owner || shared.phase != kPostSending)
        return;
    shared.delivered = delivered;
    shared.dropped = dropped;
    Fence();   // stored before the next receiver is tried: a kill then loses nothing decided
}

void ClosePost(SharedBus* bus, int record, int64_t owner, uint32_t delivered, uint32_t dropped)
{
    PostRecord copy;
    if (!ReadRecord(bus, record, &copy) || copy.phase != kPostSending || copy.owner != owner)
        return;
    if (static_cast<uint64_t>(delivered) + dropped > copy.receivers) {
        ++bus->counters.repaired;   // the receiver count was overwritten meanwhile
        bus->posts[record].phase = kPostFree;
        return;
    }
    copy.delivered = delivered;
    copy.dropped = dropped;
    Close(bus, record, copy);
}

uint32_t SendingOwners(SharedBus* bus, int64_t owners[kPostRecords])
{
    uint32_t count = 0;
    for (int i = 0; i < static_cast<int>(kPostRecords); ++i) {
        PostRecord record;
        if (!ReadRecord(bus, i, &record) || record.phase != kPostSending)
            continue;
        bool known = false;
        for (uint32_t j = 0; j < count && !known; ++j)
            known = owners[j] == record.owner;
        if (!known)
            owners[count++] = record.owner;
    }
    return count;
}

void CloseDeadOwnersPosts(SharedBus* bus, int64_t owner)
{
    for (int i = 0; i < static_cast<int>(kPostRecords); ++i) {
        PostRecord record;
        if (ReadRecord(bus, i, &record) && record.phase == kPostSending && record.owner == owner)
            Close(bus, i, record);
    }
}

uint64_t PendingDeliveries(SharedBus* bus)
{
    uint64_t pending = 0;
    for (int i = 0; i < static_cast<int>(kPostRecords); ++i) {
        PostRecord record;
        if (ReadRecord(bus, i, &record) && record.phase != kPostFree)
            pending += record.receivers;
    }
    return pending;
}

void RepairPosts(SharedBus* bus, int64_t deadHolder)
{
    // Opening and closing happen only under the lock: whoever left a record
    // so held the lock and is dead.
    for (int i = 0; i < static_cast<int>(kPostRecords); ++i) {
        PostRecord record;
        if (!ReadRecord(bus, i, &record))
            continue;
        if (record.phase == kPostOpening) {
            ApplyOpen(bus, record);
            Fence();
            bus->posts[i].phase = kPostSending;
            Close(bus, i, record);   // nobody will send it
        } else if (record.phase == kPostClosing) {
            ApplyClose(bus, record);
            Fence();
            bus->posts[i].phase = kPostFree;
        } else if (record.phase == kPostSending && deadHolder != 0 && record.owner == deadHolder) {
            Close(bus, i, record);
        }
    }
}
