// The block every process of a bus maps: fixed-width fields only, laid out
// the same by 32- and 64-bit builds (the asserts below hold it to that).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "protocol/MessageCode.h"
#include "protocol/PayloadLimits.h"

enum : uint32_t {
    kBusMagic          = 0x4B4C4556,   // "VELK"
    kBusLayoutVersion  = 2,
    kMaxClients        = 128,
    kClientNameBytes   = 32,           // stored NUL-terminated, cut to fit
    kPublicVarCount    = 64,
    kPayloadSlots      = 16384,        // tokens alive at once, at most
    kPayloadArenaBytes = 4u << 20,     // a power of two: positions wrap by masking
    kPostRecords       = 128,          // posts in progress at once, at most
};

// Type bits of a message code; a receiver gets a message when its mask
// shares one of them with the code.
const uint32_t kMessageTypeBits = kAllTypeBits;

// A registration-mask bit outside the type bits (and outside the direction
// bits, which no mask carries): the window is not delivered what it posts
// itself. Stored in the mask word, so the layout is unchanged.
const uint32_t kMaskNoOwnMessages = 0x01000000u;

struct BusClient {
    uint32_t window;                   // the HWND's 32 significant bits
    uint32_t mask;
    uint32_t pid;
    uint32_t tid;
    char name[kClientNameBytes];
};

// Over the bus's life: routed = delivered + dropped + abandoned + the
// receivers of the posts still in progress (PostRecord).
struct BusCounters {
    uint64_t posted;                   // messages accepted by vPostData
    uint64_t delivered;                // posts to a receiver that succeeded
    uint64_t dropped;                  // posts that failed: queue full or window gone
    uint64_t expired;                  // vGetp of a recent token whose payload was overwritten
    uint64_t refused;                  // vPostData calls refused (too large, bad arguments)
    uint64_t pruned;                   // registrations removed because their window went away
    uint64_t lockRecoveries;           // bus lock taken over: a dead holder, a forged or stuck word
    uint64_t mutexRecoveries;          // bus mutex found abandoned
    uint64_t routed;                   // receivers of accepted messages, one per receiver
    uint64_t abandoned;                // of those, left undecided by a sender that died mid-post
    uint64_t unknown;                  // vGetp of a token that was never issued (or is too old to tell)
    uint64_t repaired;                 // values found out of bounds and mended or ignored, headers and registrations restored
};

// A post between counting its receivers and counting their outcome. Only
// its owner writes delivered and dropped, without the lock, one receiver
// at a time, so whoever settles the post of a dead owner knows how far it
// got. before[] makes the counter updates under the lock redoable after a
// crash midway: the counters' values before the update.
struct PostRecord {
    int64_t owner;                     // the poster's lock word; meaningful while phase is not free
    uint32_t phase;                    // PostPhase
    uint32_t receivers;
    uint32_t delivered;
    uint32_t dropped;
    uint64_t before[3];
};

enum PostPhase : uint32_t {
    kPostFree = 0,
    kPostOpening = 1,                  // under the lock: posted and routed being counted
    kPostSending = 2,                  // outside the lock: posting to the receivers
    kPostClosing = 3,                  // under the lock: the outcome being counted
};

struct PayloadSlot {
    uint32_t token;                    // 0 while free or being written
    uint32_t length;                   // bytes, without the terminating NUL
    uint64_t start;                    // arena position, counted from creation without wrapping
};

struct SharedBus {
    // Checked on attach: magic is written last when a bus is made.
    uint32_t magic;
    uint32_t layoutVersion;
    uint32_t size;
    uint32_t reserved0;

    // The bus lock: 0 when free, else the owner's pid (low half) and a stamp
    // of its creation time (high half: the XOR of the FILETIME's halves), so
    // a reused pid is not taken for it.
    volatile int64_t lockOwner;

    // Everything below is read and written only under the bus lock, except
    // the public variables, which are single interlocked words.
    uint32_t clientCount;              // clients[0 .. clientCount) are in use
    uint32_t nextToken;
    uint32_t lastSweepTick;            // GetTickCount of the routing path's last liveness sweep
    uint32_t reserved1;
    uint64_t arenaHead;                // next free arena position, never wraps
    BusCounters counters;
    volatile int32_t vars[kPublicVarCount];
    BusClient clients[kMaxClients];
    PostRecord posts[kPostRecords];
    PayloadSlot slots[kPayloadSlots];
    unsigned char arena[kPayloadArenaBytes];
};

static_assert(sizeof(BusClient) == 48, "client entry layout");
static_assert(sizeof(PayloadSlot) == 16, "payload slot layout");
static_assert(sizeof(PostRecord) == 48, "post record layout");
static_assert(offsetof(SharedBus, lockOwner) == 16, "header layout");
static_assert(offsetof(SharedBus, arenaHead) == 40, "header layout");
static_assert(offsetof(SharedBus, counters) == 48, "header layout");
static_assert(offsetof(SharedBus, vars) == 144, "variables layout");
static_assert(offsetof(SharedBus, clients) == 400, "registry layout");
static_assert(offsetof(SharedBus, posts) == 6544, "post records layout");
static_assert(offsetof(SharedBus, slots) == 12688, "payload slots layout");
static_assert(offsetof(SharedBus, arena) == 274832, "arena layout");
static_assert(sizeof(SharedBus) == 274832 + kPayloadArenaBytes, "bus size");
static_assert((kPayloadArenaBytes & (kPayloadArenaBytes - 1)) == 0, "arena size must be a power of two");
