// Payload bytes in the shared block, handed to receivers as 32-bit tokens
// (slot and generation in one number), so a token fits the data word of a
// 32-bit and of a 64-bit process alike. The store is a ring: a payload lives
// until its slot or its arena bytes are reused. All calls under the bus lock.
#pragma once
#include "velk/SharedBus.h"

// Copies length bytes (at most kMaxPayloadBytes) and a terminating NUL into
// the ring; returns the token, never 0.
uint32_t StorePayload(SharedBus* bus, const void* bytes, uint32_t length);

// Copies the payload of token and its NUL into out (kMaxPayloadBytes + 1
// bytes) and sets length; false when the token is unknown or overwritten.
bool FetchPayload(const SharedBus* bus, uint32_t token, unsigned char* out, uint32_t* length);

// After a crash under the lock: frees slots whose bookkeeping is torn.
void RepairPayloads(SharedBus* bus);
