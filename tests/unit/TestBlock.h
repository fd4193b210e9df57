// A bus block for the block's unit tests: one heap allocation of its exact
// size, so AddressSanitizer reports any access outside it.
#pragma once
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "velk/BusBlock.h"
#include "velk/SharedBus.h"

// A registration mask with every type bit of the type byte.
const uint32_t kAnyType = 0x0000FF00u;

struct BlockDeleter {
    void operator()(SharedBus* bus) const { free(bus); }
};
typedef std::unique_ptr<SharedBus, BlockDeleter> Block;

inline Block NewBus()
{
    Block bus(static_cast<SharedBus*>(calloc(1, sizeof(SharedBus))));
    InitialiseBus(bus.get());
    return bus;
}

inline BusClient Client(uint32_t window, uint32_t mask, uint32_t pid)
{
    BusClient client = {};
    client.window = window;
    client.mask = mask;
    client.pid = pid;
    client.tid = pid + 1;
    memset(client.name, 'n', sizeof client.name);   // unterminated, as a foreign writer may leave it
    return client;
}
