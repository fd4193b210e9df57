// This process's link to its bus: the view of the shared block, made on the
// first call that needs it.
#pragma once
#include "velk/SharedBus.h"

// From DllMain: process attach and detach.
void OpenBusLink();
void CloseBusLink();

// The attached bus, attaching first if need be, its header and this
// process's registrations looked after (OwnClients.h); null when attaching
// fails, with the reason in *status (a VelkResult).
SharedBus* AttachedBus(int* status);

// Detaches; the next AttachedBus attaches again, reading the bus name anew.
void DetachBus();

// How many processes have the bus open, this one included (each attached
// process keeps one handle to the block); 0 when not attached or when the
// system cannot tell. The bus ends when the last of them detaches.
int AttachedProcessCount();

// Takes the bus's named mutex (attaching first) and returns with it held; 0
// on success. For the test seam that dies holding it.
int HoldBusMutex();
