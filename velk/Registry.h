// The registry of client windows in the shared block. All calls under the
// bus lock. The count and every entry come from a block any process can
// write: each is checked before use, and what is out of bounds is mended
// and counted as repaired.
#pragma once
#include "velk/SharedBus.h"

// Whether a stored handle can be posted to: 0 would post to the poster's own
// thread and 0xFFFF is HWND_BROADCAST.
bool UsableWindow(uint32_t window);

// The index of window's entry among the first count clients, or -1. Not
// only for the block's registry: any list of clients.
int FindClient(const BusClient* clients, uint32_t count, uint32_t window);

// The registry's count, mended first when it is beyond the registry.
uint32_t ClientCount(SharedBus* bus);

// Adds the window, or updates mask, name and owner when it is registered
// already. kVelkRegistryFull when there is no room; nobody is overwritten.
int RegisterClient(SharedBus* bus, const BusClient& client);
int UnregisterClient(SharedBus* bus, uint32_t window);

struct Receiver {
    uint32_t window;
    uint32_t pid;
};

// Windows whose mask shares a type bit with code, in registry order; the
// sender's own window only when it did not opt out (kMaskNoOwnMessages).
uint32_t CollectReceivers(SharedBus* bus, uint32_t code, uint32_t sender, Receiver receivers[kMaxClients]);

// A copy of the registry; returns the number of entries.
uint32_t CopyClients(SharedBus* bus, BusClient clients[kMaxClients]);

// Removes the window's registration if it still belongs to the process that
// registered it (it may have been registered afresh meanwhile).
void ForgetVanishedClient(SharedBus* bus, uint32_t window, uint32_t pid);

// Registers client again when its entry is gone or differs (written over by
// another process); true when it did, counted as repaired.
bool RestoreClient(SharedBus* bus, const BusClient& client);

// After a crash under the lock, or a count out of bounds: drops torn and
// duplicate entries and makes the count true.
void RepairRegistry(SharedBus* bus);
