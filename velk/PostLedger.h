// The record of each post in progress, so that the outcome of a post whose
// sender dies midway is still counted: the receivers it reached as
// delivered or dropped, the rest as abandoned. With it, at any moment the
// lock is held,
//   routed = delivered + dropped + abandoned + PendingDeliveries().
// Counter updates under the lock are redone from the record by the repair
// when their writer died midway. Records come from a block any process can
// write: one out of bounds is freed and counted as repaired.
#pragma once
#include "velk/SharedBus.h"

// Under the lock: takes a free record for a post to receivers and counts the
// post (posted, routed); -1 when every record is in use.
int OpenPost(SharedBus* bus, int64_t owner, uint32_t receivers);

// Without the lock, by the owner: how many receivers are decided so far.
void NoteProgress(SharedBus* bus, int record, int64_t owner, uint32_t delivered, uint32_t dropped);

// Under the lock: counts the outcome and frees the record; whatever is
// undecided counts as abandoned. Nothing when the record is no longer the
// owner's (settled meanwhile as a dead sender's, or overwritten).
void ClosePost(SharedBus* bus, int record, int64_t owner, uint32_t delivered, uint32_t dropped);

// Under the lock: the distinct owners of posts being sent; returns how many.
uint32_t SendingOwners(SharedBus* bus, int64_t owners[kPostRecords]);

// Under the lock: closes every post of an owner that died while sending.
void CloseDeadOwnersPosts(SharedBus* bus, int64_t owner);

// Receivers of the posts in progress.
uint64_t PendingDeliveries(SharedBus* bus);

// Under the lock taken over from deadHolder (0 when none is known): finishes
// the counter updates it left midway, closes its posts, frees torn records.
void RepairPosts(SharedBus* bus, int64_t deadHolder);
