// The registry of client windows in the shared block. The functions taking a
// SharedBus* expect the bus lock held; PruneVanishedClients takes it itself.
#pragma once
#include <windows.h>

#include "velk/SharedBus.h"

// A window handle in the 32 bits that are significant on either width, and back.
uint32_t WindowBits(HWND window);
HWND WindowOf(uint32_t bits);

// Adds the window, or updates mask, name and owner when it is registered
// already. kVelkRegistryFull when there is no room; nobody is overwritten.
int RegisterClient(SharedBus* bus, const BusClient& client);
int UnregisterClient(SharedBus* bus, uint32_t window);

struct Receiver {
    uint32_t window;
    uint32_t pid;
};

// Windows whose mask shares a type bit with code, in registry order.
uint32_t CollectReceivers(const SharedBus* bus, uint32_t code, Receiver receivers[kMaxClients]);

// Removes the window's registration if it still belongs to the process that
// registered it (it may have been registered afresh meanwhile).
void ForgetVanishedClient(SharedBus* bus, uint32_t window, uint32_t pid);

// After a crash under the lock: drops torn and duplicate entries.
void RepairRegistry(SharedBus* bus);

// Without the lock held: asks the window system about every registered window
// and removes those that are gone or now belong to another process.
void PruneVanishedClients(SharedBus* bus);

// The same, at most once per sweep interval; cheap when not due.
void PruneVanishedClientsWhenDue(SharedBus* bus);
