// Every bound the block's code checks, at the bound, one past it, and the
// case the check is there for, so that a fault in any one check fails a
// test named for its part of the block (the random corruptions seldom land
// exactly on a bound).
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "tests/unit/TestBlock.h"
#include "velk/PayloadStore.h"
#include "velk/PostLedger.h"
#include "velk/Registry.h"
#include "velk/VelkResults.h"

namespace {

// A registry of count distinct, sound entries: windows 0x100, 0x101, ...
void Fill(SharedBus* bus, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        bus->clients[i] = Client(0x100 + i, kAnyType, 7);
    bus->clientCount = count;
}

TEST(BlockBounds, HeaderIsReadOnlyWithinTheRegionAndTrustedOnlyWhole)
{
    Block bus = NewBus();
    const size_t full = sizeof(SharedBus);
    EXPECT_EQ(kBlockIsOurs, CheckBusHeader(bus.get(), full));
    EXPECT_EQ(kBlockIsForeign, CheckBusHeader(bus.get(), full - 1));   // claims our size but is smaller

    // Regions too small for a header: each copied into a buffer of exactly
    // its size, so a read past it is reported.
    for (size_t bytes = 1; bytes <= offsetof(SharedBus, lockOwner); ++bytes) {
        std::vector<unsigned char> region(reinterpret_cast<const unsigned char*>(bus.get()),
                                          reinterpret_cast<const unsigned char*>(bus.get()) + bytes);
        EXPECT_EQ(kBlockIsForeign, CheckBusHeader(region.data(), bytes)) << bytes;
    }

    bus->magic = 0;   // a maker that died before the magic, or a writer
    EXPECT_EQ(kBlockIsUnfinished, CheckBusHeader(bus.get(), full));
    EXPECT_EQ(kBlockIsForeign, CheckBusHeader(bus.get(), full - 1));
    bus->magic = kBusMagic + 1;
    EXPECT_EQ(kBlockIsForeign, CheckBusHeader(bus.get(), full));
    bus->magic = kBusMagic;
    bus->layoutVersion = kBusLayoutVersion + 1;
    EXPECT_EQ(kBlockIsOtherVersion, CheckBusHeader(bus.get(), full));
    bus->layoutVersion = kBusLayoutVersion;
    for (uint32_t size : { static_cast<uint32_t>(full - 1), static_cast<uint32_t>(full + 1) }) {
        bus->size = size;
        EXPECT_EQ(kBlockIsOtherVersion, CheckBusHeader(bus.get(), full + 4096)) << size;
    }
}

// Each field of the header written over is written again, in place: the
// registry and the counters stay.
TEST(BlockBounds, HeaderWrittenOverIsRestoredInPlace)
{
    Block bus = NewBus();
    Fill(bus.get(), 3);
    bus->counters.posted = 41;
    EXPECT_FALSE(RestoreBusHeader(bus.get()));   // sound: nothing to do, nothing counted
    EXPECT_EQ(0u, bus->counters.repaired);
    uint32_t* fields[] = { &bus->magic, &bus->layoutVersion, &bus->size };
    for (uint32_t* field : fields) {
        uint32_t sound = *field;
        *field = sound + 1;
        EXPECT_TRUE(RestoreBusHeader(bus.get()));
        EXPECT_EQ(sound, *field);
    }
    EXPECT_EQ(kBlockIsOurs, CheckBusHeader(bus.get(), sizeof(SharedBus)));
    EXPECT_EQ(3u, bus->counters.repaired);
    EXPECT_EQ(3u, ClientCount(bus.get()));
    EXPECT_EQ(41u, bus->counters.posted);
}

TEST(BlockBounds, RegistryCountIsTrustedUpTo128)
{
    Block bus = NewBus();
    Fill(bus.get(), kMaxClients - 1);
    EXPECT_EQ(kVelkOk, RegisterClient(bus.get(), Client(0x900, kAnyType, 8)));   // the 128th
    EXPECT_EQ(kMaxClients, ClientCount(bus.get()));
    EXPECT_EQ(0u, bus->counters.repaired);

    // Full: a new window is refused and overwrites nobody; a registered one
    // still updates its mask.
    EXPECT_EQ(kVelkRegistryFull, RegisterClient(bus.get(), Client(0x901, kAnyType, 8)));
    EXPECT_EQ(kVelkOk, RegisterClient(bus.get(), Client(0x900, 0x800, 8)));
    Receiver receivers[kMaxClients];
    EXPECT_EQ(kMaxClients, CollectReceivers(bus.get(), 0x800, 0, receivers));
    EXPECT_EQ(kMaxClients - 1, CollectReceivers(bus.get(), 0x400, 0, receivers));   // all but the updated
    EXPECT_EQ(kMaxClients, ClientCount(bus.get()));

    bus->clientCount = kMaxClients + 1;   // one past: mended, counted, the sound entries kept
    BusClient clients[kMaxClients];
    EXPECT_EQ(kMaxClients, CopyClients(bus.get(), clients));
    EXPECT_EQ(kMaxClients, bus->clientCount);
    EXPECT_EQ(1u, bus->counters.repaired);
}

// Entries beyond the count are not the registry's, whatever they hold.
TEST(BlockBounds, RegistryLooksNoFurtherThanItsCount)
{
    Block bus = NewBus();
    Fill(bus.get(), 3);
    bus->clientCount = 2;   // the third is stale
    const uint32_t stale = bus->clients[2].window;
    EXPECT_EQ(kVelkNotRegistered, UnregisterClient(bus.get(), stale));
    Receiver receivers[kMaxClients];
    EXPECT_EQ(2u, CollectReceivers(bus.get(), kAnyType, 0, receivers));
    BusClient clients[kMaxClients];
    EXPECT_EQ(2u, CopyClients(bus.get(), clients));
    ForgetVanishedClient(bus.get(), stale, 7);
    EXPECT_EQ(0u, bus->counters.pruned);

    // Removing moves the last entry into the hole and clears its old place.
    EXPECT_EQ(kVelkOk, UnregisterClient(bus.get(), 0x100));
    EXPECT_EQ(1u, bus->clientCount);
    EXPECT_EQ(0x101u, bus->clients[0].window);
    EXPECT_EQ(0u, bus->clients[1].window);
}

TEST(BlockBounds, RegistryEntriesThatCannotBeClientsAreDropped)
{
    EXPECT_FALSE(UsableWindow(0));
    EXPECT_FALSE(UsableWindow(0xFFFF));   // HWND_BROADCAST
    for (uint32_t window : { 1u, 0xFFFEu, 0x10000u, 0x1FFFFu })
        EXPECT_TRUE(UsableWindow(window)) << window;

    // Torn entries one after another: the entry moved into each hole is
    // looked at too.
    Block bus = NewBus();
    Fill(bus.get(), 6);
    bus->clients[1].window = 0;
    bus->clients[2].window = 0xFFFF;
    bus->clients[3].pid = 0;
    bus->clients[5].window = bus->clients[0].window;   // a duplicate
    RepairRegistry(bus.get());
    ASSERT_EQ(2u, bus->clientCount);
    EXPECT_EQ(0x100u, bus->clients[0].window);
    EXPECT_EQ(0x104u, bus->clients[1].window);
    EXPECT_EQ(4u, bus->counters.repaired);
    EXPECT_EQ('\0', bus->clients[0].name[kClientNameBytes - 1]);   // names end within their field

    // Only the process that registered a window forgets it.
    ForgetVanishedClient(bus.get(), 0x104, 8);
    EXPECT_EQ(2u, bus->clientCount);
    ForgetVanishedClient(bus.get(), 0x104, 7);
    EXPECT_EQ(1u, bus->clientCount);
    EXPECT_EQ(1u, bus->counters.pruned);
}

TEST(BlockBounds, OwnRegistrationIsRestoredOnlyWhenGoneOrChanged)
{
    Block bus = NewBus();
    const BusClient own = Client(0x500, 0x800, 9);
    EXPECT_TRUE(RestoreClient(bus.get(), own));       // gone: registered again
    EXPECT_FALSE(RestoreClient(bus.get(), own));      // there as it was: nothing
    bus->clients[0].mask = 0;
    EXPECT_TRUE(RestoreClient(bus.get(), own));       // changed: written again
    EXPECT_EQ(0x800u, bus->clients[0].mask);
    EXPECT_EQ(1u, bus->clientCount);
    EXPECT_EQ(2u, bus->counters.repaired);
    Fill(bus.get(), kMaxClients);
    EXPECT_FALSE(RestoreClient(bus.get(), own));      // full: nobody overwritten, nothing counted
    EXPECT_EQ(2u, bus->counters.repaired);
}

TEST(BlockBounds, PayloadIsCopiedOnlyFromWithinTheArena)
{
    Block bus = NewBus();
    std::vector<unsigned char> out(kMaxPayloadBytes + 1);   // exactly what a fetch may fill
    const std::string largest(kMaxPayloadBytes, 'x');
    uint32_t length = 0;
    uint32_t token = StorePayload(bus.get(), largest.data(), kMaxPayloadBytes);
    ASSERT_NE(0u, token);
    EXPECT_EQ(kFetched, FetchPayload(bus.get(), token, out.data(), &length));
    EXPECT_EQ(kMaxPayloadBytes, length);
    EXPECT_EQ(0u, StorePayload(bus.get(), largest.data(), kMaxPayloadBytes + 1));

    PayloadSlot& slot = bus->slots[token % kPayloadSlots];
    slot.length = kMaxPayloadBytes + 1;   // one past the largest: freed, counted, not copied
    EXPECT_EQ(kFetchExpired, FetchPayload(bus.get(), token, out.data(), &length));
    EXPECT_EQ(0u, length);
    EXPECT_EQ(0u, slot.token);
    EXPECT_EQ(1u, bus->counters.repaired);

    // A payload and its NUL ending exactly at the arena's end are fetched;
    // one byte later they would run past it (and past the block).
    const uint32_t bytes = 100;
    for (uint64_t shift : { 0u, 1u }) {
        token = StorePayload(bus.get(), largest.data(), bytes);
        PayloadSlot& edge = bus->slots[token % kPayloadSlots];
        edge.start = 3 * static_cast<uint64_t>(kPayloadArenaBytes) - (bytes + 1) + shift;
        bus->arenaHead = edge.start + bytes + 1;
        FetchVerdict verdict = FetchPayload(bus.get(), token, out.data(), &length);
        EXPECT_EQ(shift == 0 ? kFetched : kFetchExpired, verdict) << shift;
        EXPECT_EQ(shift == 0 ? bytes : 0, length) << shift;
    }
    EXPECT_EQ(2u, bus->counters.repaired);

    // RepairPayloads frees the same slots, and a slot holding another slot's token.
    token = StorePayload(bus.get(), "abc", 3);
    bus->slots[token % kPayloadSlots].length = kMaxPayloadBytes + 1;
    uint32_t other = StorePayload(bus.get(), "def", 3);
    bus->slots[(other + 1) % kPayloadSlots] = bus->slots[other % kPayloadSlots];
    RepairPayloads(bus.get());
    EXPECT_EQ(0u, bus->slots[token % kPayloadSlots].token);
    EXPECT_EQ(0u, bus->slots[(other + 1) % kPayloadSlots].token);
    EXPECT_EQ(other, bus->slots[other % kPayloadSlots].token);
    EXPECT_EQ(4u, bus->counters.repaired);
}

// A payload is stored whole where it fits, never across the arena's end.
TEST(BlockBounds, PayloadNeverWrapsAroundTheArena)
{
    Block bus = NewBus();
    std::vector<unsigned char> out(kMaxPayloadBytes + 1);
    uint32_t length = 0;
    const uint64_t end = 2 * static_cast<uint64_t>(kPayloadArenaBytes);
    bus->arenaHead = end - 4;   // room for 3 bytes and the NUL
    uint32_t fits = StorePayload(bus.get(), "abc", 3);
    EXPECT_EQ(end - 4, bus->slots[fits % kPayloadSlots].start);
    bus->arenaHead = end - 3;   // one byte short: stored at the beginning
    uint32_t moved = StorePayload(bus.get(), "xyz", 3);
    EXPECT_EQ(end, bus->slots[moved % kPayloadSlots].start);
    EXPECT_EQ(end + 4, bus->arenaHead);
    EXPECT_EQ(kFetched, FetchPayload(bus.get(), moved, out.data(), &length));
    EXPECT_EQ(0, memcmp(out.data(), "xyz", 4));
}

// Positions and tokens wrap; their distances decide, at the bound exactly.
TEST(BlockBounds, PositionsAndTokensCountByWrappingDistance)
{
    Block bus = NewBus();
    std::vector<unsigned char> out(kMaxPayloadBytes + 1);
    uint32_t length = 0;
    bus->arenaHead = UINT64_MAX - 7;   // positions about to wrap
    uint32_t token = StorePayload(bus.get(), "abc", 3);
    const uint64_t start = bus->slots[token % kPayloadSlots].start;
    bus->arenaHead = start + 100;      // past 0 now
    EXPECT_EQ(kFetched, FetchPayload(bus.get(), token, out.data(), &length));

    // The bytes live until the head is a whole arena past their start.
    bus->arenaHead = start + kPayloadArenaBytes;
    EXPECT_EQ(kFetched, FetchPayload(bus.get(), token, out.data(), &length));
    bus->arenaHead = start + kPayloadArenaBytes + 1;
    EXPECT_EQ(kFetchExpired, FetchPayload(bus.get(), token, out.data(), &length));
    bus->arenaHead = start + 3;   // behind the payload's end: written over, or never true
    EXPECT_EQ(kFetchExpired, FetchPayload(bus.get(), token, out.data(), &length));

    // Token 0 is never issued, also when the count wraps.
    bus->nextToken = UINT32_MAX;
    EXPECT_EQ(UINT32_MAX, StorePayload(bus.get(), "a", 1));
    EXPECT_EQ(1u, StorePayload(bus.get(), "b", 1));
    EXPECT_EQ(kFetchUnknown, FetchPayload(bus.get(), 0, out.data(), &length));

    // Tokens no longer stored: the last 2^24 issued count as expired.
    bus->nextToken = 0x7000000;
    EXPECT_EQ(kFetchExpired, FetchPayload(bus.get(), 0x7000000 - kRecentTokens, out.data(), &length));
    EXPECT_EQ(kFetchUnknown, FetchPayload(bus.get(), 0x7000000 - kRecentTokens - 1, out.data(), &length));
    EXPECT_EQ(kFetchExpired, FetchPayload(bus.get(), 0x7000000 - 1, out.data(), &length));
    EXPECT_EQ(kFetchUnknown, FetchPayload(bus.get(), 0x7000000, out.data(), &length));   // not yet issued
    bus->nextToken = 0;
    RepairPayloads(bus.get());
    EXPECT_EQ(1u, bus->nextToken);
}

// A record is believed only while its numbers can be a post's.
TEST(BlockBounds, PostRecordNumbersAreCheckedAtEachBound)
{
    struct Case {
        uint32_t phase, receivers, delivered, dropped;
        bool sound;
    };
    const Case cases[] = {
        { kPostClosing, 2, 1, 1, true },
        { kPostClosing + 1, 2, 1, 1, false },
        { kPostSending, kMaxClients, 0, 0, true },
        { kPostSending, kMaxClients + 1, 0, 0, false },
        { kPostSending, 5, 3, 2, true },
        { kPostSending, 5, 3, 3, false },
        { kPostSending, 0, UINT32_MAX, 1, false },   // a sum that wraps to 0 in 32 bits
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << test.phase << " " << test.receivers << " " << test.delivered << " "
                                        << test.dropped);
        Block bus = NewBus();
        PostRecord& record = bus->posts[kPostRecords - 1];
        record.owner = 0x700000042LL;
        record.phase = test.phase;
        record.receivers = test.receivers;
        record.delivered = test.delivered;
        record.dropped = test.dropped;
        EXPECT_EQ(test.sound ? test.receivers : 0u, PendingDeliveries(bus.get()));
        EXPECT_EQ(test.sound ? 0u : 1u, bus->counters.repaired);
        EXPECT_EQ(test.sound ? test.phase : static_cast<uint32_t>(kPostFree), record.phase);
    }
}

TEST(BlockBounds, PostsAreOpenedWithinTheirBoundsAndClosedByTheirOwnerOnly)
{
    Block bus = NewBus();
    const int64_t owner = 0x700000042LL, other = 0x700000043LL;
    EXPECT_EQ(-1, OpenPost(bus.get(), owner, kMaxClients + 1));
    EXPECT_EQ(0u, bus->counters.posted);
    int record = OpenPost(bus.get(), owner, kMaxClients);
    ASSERT_GE(record, 0);
    EXPECT_EQ(static_cast<uint64_t>(kMaxClients), bus->counters.routed);

    // Another owner's progress and close change nothing.
    NoteProgress(bus.get(), record, other, 5, 5);
    EXPECT_EQ(0u, bus->posts[record].delivered);
    ClosePost(bus.get(), record, other, 1, 0);
    EXPECT_EQ(static_cast<uint64_t>(kMaxClients), PendingDeliveries(bus.get()));

    // More decided than receivers: freed and counted, nothing counted as delivered.
    ClosePost(bus.get(), record, owner, kMaxClients, 1);
    EXPECT_EQ(0u, PendingDeliveries(bus.get()));
    EXPECT_EQ(1u, bus->counters.repaired);
    EXPECT_EQ(0u, bus->counters.delivered);
    record = OpenPost(bus.get(), owner, 3);
    ClosePost(bus.get(), record, owner, 2, 1);   // exactly all of them
    EXPECT_EQ(2u, bus->counters.delivered);
    EXPECT_EQ(1u, bus->counters.dropped);

    // Every record in use, each by an owner of its own: the 129th is refused
    // and every owner is listed once.
    for (uint32_t i = 0; i < kPostRecords; ++i)
        ASSERT_GE(OpenPost(bus.get(), owner + i, 1), 0);
    EXPECT_EQ(-1, OpenPost(bus.get(), owner, 1));
    int64_t owners[kPostRecords];
    EXPECT_EQ(kPostRecords, SendingOwners(bus.get(), owners));
    bus->posts[2].owner = owner;   // two posts of one sender: it is asked after once
    EXPECT_EQ(kPostRecords - 1, SendingOwners(bus.get(), owners));
    bus->posts[2].owner = owner + 2;

    // The repair after a mutex recovery (no holder known) closes nobody's
    // post, not even one whose owner word is 0; after a dead holder, its own.
    bus->posts[0].owner = 0;
    RepairPosts(bus.get(), 0);
    EXPECT_EQ(static_cast<uint64_t>(kPostRecords), PendingDeliveries(bus.get()));
    RepairPosts(bus.get(), owner + 1);
    EXPECT_EQ(static_cast<uint64_t>(kPostRecords - 1), PendingDeliveries(bus.get()));
    EXPECT_EQ(1u, bus->counters.abandoned);
}

} // namespace
