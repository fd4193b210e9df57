#include "velk/BusBlock.h"

#include <string.h>

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

void InitialiseBus(SharedBus* bus, bool clearFirst)
{
    if (clearFirst)
        memset(static_cast<void*>(bus), 0, sizeof(SharedBus));
    bus->layoutVersion = kBusLayoutVersion;
    bus->size = sizeof(SharedBus);
    bus->nextToken = 1;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    bus->magic = kBusMagic;
}

void RepairBus(SharedBus* bus, int64_t deadHolder)
{
    RepairRegistry(bus);
    RepairPosts(bus, deadHolder);
    RepairPayloads(bus);
}
