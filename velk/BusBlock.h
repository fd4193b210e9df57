// Making, checking and repairing the shared block. Pure logic.
#pragma once
#include <stddef.h>

#include "velk/SharedBus.h"

// What an attach finds in a mapping of the bus's name.
enum BlockVerdict {
    kBlockIsOurs,          // a finished bus of this layout
    kBlockIsUnfinished,    // no magic yet: its maker died before finishing it
    kBlockIsForeign,       // not a bus at all
    kBlockIsOtherVersion,  // a bus of another layout or size
};

// regionBytes is how much of the mapping is readable at block.
BlockVerdict CheckBusHeader(const void* block, size_t regionBytes);

// Makes a new bus in a fresh (zeroed) mapping; the magic goes last, so a
// half-made bus reads as unfinished.
void InitialiseBus(SharedBus* bus);

// Whether the header of a block mapped whole is this library's.
bool BusHeaderIsOurs(const SharedBus* bus);

// Under the bus lock, on the block this process attached (an unfinished one
// included): writes the header again when it is not ours,
// the magic last, and counts it as repaired; true when it did. Nothing else
// is cleared: the clients still attached keep their registrations.
bool RestoreBusHeader(SharedBus* bus);

// Under the bus lock, after a process died holding it (deadHolder, its lock
// word) or the bus mutex (deadHolder 0): makes the registry, the post
// records and the payload slots consistent again.
void RepairBus(SharedBus* bus, int64_t deadHolder);
