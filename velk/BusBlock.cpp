#include "velk/BusBlock.h"

#include <atomic>

#include "velk/PayloadStore.h"
#include "velk/PostLedger.h"
#include "velk/Registry.h"

BlockVerdict CheckBusHeader(const void* block, size_t regionBytes)
{
    const SharedBus* bus = static_cast<const SharedBus*>(block);
    if (regionBytes < offsetof(SharedBus, lockOwner))
        return kBlockIsForeign;
    if (bus->magic == 0)
        return regionBytes >= sizeof(SharedBus) ? kBlockIsUnfinished : kBlockIsForeign;
    if (bus->magic != kBusMagic)
        return kBlockIsForeign;
    if (bus->layoutVersion != kBusLayoutVersion || bus->size != sizeof(SharedBus))
        return kBlockIsOtherVersion;
    if (regionBytes < sizeof(SharedBus))
        return kBlockIsForeign;   // claims our size but is smaller
    return kBlockIsOurs;
}

namespace {

void WriteHeader(SharedBus* bus)
{
    bus->layoutVersion = kBusLayoutVersion;
    bus->size = sizeof(SharedBus);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    bus->magic = kBusMagic;
}

} // namespace

void InitialiseBus(SharedBus* bus)
{
    bus->nextToken = 1;
    WriteHeader(bus);
}

bool BusHeaderIsOurs(const SharedBus* bus)
{
    return bus->magic == kBusMagic && bus->layoutVersion == kBusLayoutVersion && bus->size == sizeof(SharedBus);
}

bool RestoreBusHeader(SharedBus* bus)
{
    if (BusHeaderIsOurs(bus))
        return false;
    WriteHeader(bus);
    ++bus->counters.repaired;
    return true;
}

void RepairBus(SharedBus* bus, int64_t deadHolder)
{
    RepairRegistry(bus);
    RepairPosts(bus, deadHolder);
    RepairPayloads(bus);
}
