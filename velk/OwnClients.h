// What each process looks after itself on its calls: the block's header and
// its own registrations. Another process may write over either; the bus is
// mended in place rather than made afresh, so the clients attached keep
// receiving.
#pragma once
#include "velk/SharedBus.h"

// After a successful vRegister and any vUnregister of this process.
void RememberOwnClient(const BusClient& client);
void ForgetOwnClient(uint32_t window);
// On detaching: the registrations belong to the bus left.
void ForgetOwnClients();

// On every call: a header written over is written again (and the block
// repaired) at once; at most once a second, and after such a repair, each
// window of this process still alive whose registration has gone from the
// block, or been changed, is registered again. Both count as repaired.
void LookAfterBus(SharedBus* bus);
