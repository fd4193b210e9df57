// Noticing processes and windows that went away. Called without the bus
// lock held: each question is a trip to the system.
#pragma once
#include "velk/SharedBus.h"

// Asks the window system about every registered window and removes those
// that are gone or now belong to another process.
void PruneVanishedClients(SharedBus* bus);

// Closes the posts in progress of senders that died, counting what they
// left undecided as abandoned.
void SettleDeadSenders(SharedBus* bus);

// Both, at most once per sweep interval; cheap when not due.
void SweepDeparturesWhenDue(SharedBus* bus);
