// Payload bytes in the shared block, handed to receivers as 32-bit tokens
// (slot and generation in one number), so a token fits the data word of a
// 32-bit and of a 64-bit process alike. The store is a ring: a payload lives
// until its slot or its arena bytes are reused. All calls under the bus lock.
// Slots and arena positions come from a block any process can write: a slot
// out of bounds is freed and counted as repaired, never copied from.
#pragma once
#include "velk/SharedBus.h"

// Copies length bytes and a terminating NUL into the ring; returns the
// token, never 0, or 0 when length exceeds kMaxPayloadBytes.
uint32_t StorePayload(SharedBus* bus, const void* bytes, uint32_t length);

enum FetchVerdict {
    kFetched,
    kFetchExpired,   // issued among the last kRecentTokens, since overwritten
    kFetchUnknown,   // never issued, or too long ago to tell
};

// Tokens this recent are told apart from tokens never issued.
const uint32_t kRecentTokens = 1u << 24;

// Copies the payload of token and its NUL into out (kMaxPayloadBytes + 1
// bytes) and sets length.
FetchVerdict FetchPayload(SharedBus* bus, uint32_t token, unsigned char* out, uint32_t* length);

// After a crash under the lock: frees slots whose bookkeeping is torn.
void RepairPayloads(SharedBus* bus);
