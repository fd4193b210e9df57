// The shared block's logic against a block any process may have written:
// seeded random corruptions (one word or many, any value), every operation
// after each. AddressSanitizer reports any access outside the block
// (TestBlock.h) or the operations' own stack arrays. CORVANE_BLOCK_CORRUPTIONS
// sets how many corruptions (docs/velk.md gives the long run). Each bound
// at, and one past, its limit: BlockBoundsTest.cpp.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <set>
#include <string>

#include "tests/unit/TestBlock.h"
#include "velk/PayloadStore.h"
#include "velk/PostLedger.h"
#include "velk/Registry.h"
#include "velk/VelkResults.h"

namespace {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Draw()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Draw() % bound); }

    // Edge values a count, index or length check is most likely to miss.
    uint32_t Value()
    {
        static const uint32_t kEdges[] = { 0, 1, 2, 127, 128, 129, 200, 0xFFFF, 16383, 16384, 65536, 65537,
                                           0x300000, 0x3FFFFF, 0x400000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE,
                                           0xFFFFFFFF };
        return Below(3) == 0 ? static_cast<uint32_t>(Draw()) : kEdges[Below(sizeof kEdges / sizeof kEdges[0])];
    }

private:
    uint64_t state_;
};

// One word or many, anywhere, mostly where the bookkeeping is.
void Corrupt(SharedBus* bus, Random& random)
{
    uint32_t words = random.Below(2) == 0 ? 1 : 1 + random.Below(64);
    unsigned char* bytes = reinterpret_cast<unsigned char*>(bus);
    for (uint32_t i = 0; i < words; ++i) {
        size_t from = 0, to = offsetof(SharedBus, slots);
        uint32_t where = random.Below(10);
        if (where >= 5 && where < 9) {
            from = offsetof(SharedBus, slots);
            to = offsetof(SharedBus, arena);
        } else if (where == 9) {
            from = offsetof(SharedBus, arena);
            to = sizeof(SharedBus);
        }
        size_t offset = (from + random.Below(static_cast<uint32_t>(to - from))) & ~static_cast<size_t>(3);
        uint32_t value = random.Value();
        memcpy(bytes + offset, &value, sizeof value);
    }
}

// What must hold after the repair, whatever the block held before it.
void ExpectRepaired(SharedBus* bus)
{
    ASSERT_LE(bus->clientCount, kMaxClients);
    std::set<uint32_t> windows;
    for (uint32_t i = 0; i < bus->clientCount; ++i) {
        ASSERT_TRUE(UsableWindow(bus->clients[i].window));
        ASSERT_NE(0u, bus->clients[i].pid);
        ASSERT_TRUE(windows.insert(bus->clients[i].window).second);
    }
    for (const PostRecord& record : bus->posts)
        ASSERT_TRUE(record.phase == kPostFree || record.phase == kPostSending);
    for (const PayloadSlot& slot : bus->slots)
        ASSERT_TRUE(slot.token == 0 || (slot.length <= kMaxPayloadBytes
                                        && (slot.start % kPayloadArenaBytes) + slot.length < kPayloadArenaBytes));
}

// Every operation once, each checked against what it promises.
void Exercise(SharedBus* bus, Random& random, std::string& payload, unsigned char* out)
{
    const int64_t owner = 0x1234500000077LL;
    uint32_t window = 1 + random.Below(300);
    uint32_t pid = 1 + random.Below(4);
    int registered = RegisterClient(bus, Client(window, kAnyType, pid));
    ASSERT_TRUE(registered == kVelkOk || registered == kVelkRegistryFull);

    Receiver receivers[kMaxClients];
    uint32_t count = CollectReceivers(bus, random.Value(), window, receivers);
    ASSERT_LE(count, kMaxClients);
    for (uint32_t i = 0; i < count; ++i)
        ASSERT_TRUE(UsableWindow(receivers[i].window));
    BusClient clients[kMaxClients] = {};
    ASSERT_LE(CopyClients(bus, clients), kMaxClients);

    // A payload stored is fetched back intact, whatever the positions held.
    uint32_t length = random.Below(8) == 0 ? kMaxPayloadBytes : random.Below(300);
    payload.assign(length, static_cast<char>('a' + random.Below(26)));
    uint32_t token = StorePayload(bus, payload.data(), length);
    ASSERT_NE(0u, token);
    uint32_t fetched = 0;
    ASSERT_EQ(kFetched, FetchPayload(bus, token, out, &fetched));
    ASSERT_EQ(length, fetched);
    ASSERT_EQ(0, memcmp(out, payload.data(), length));
    ASSERT_EQ('\0', out[length]);
    ASSERT_EQ(0u, StorePayload(bus, payload.data(), kMaxPayloadBytes + 1));
    FetchPayload(bus, random.Value(), out, &fetched);
    ASSERT_LE(fetched, kMaxPayloadBytes);
    FetchPayload(bus, bus->slots[random.Below(kPayloadSlots)].token, out, &fetched);
    ASSERT_LE(fetched, kMaxPayloadBytes);

    // A post, and one left by a sender that died halfway.
    int record = OpenPost(bus, owner, count);
    if (record >= 0) {
        NoteProgress(bus, record, owner, count / 2, 0);
        ClosePost(bus, record, owner, count - count / 3, count / 3);
    }
    int dying = OpenPost(bus, owner + 1, count);
    if (dying >= 0)
        NoteProgress(bus, dying, owner + 1, count / 2, count / 4);
    int64_t owners[kPostRecords];
    uint32_t sending = SendingOwners(bus, owners);
    ASSERT_LE(sending, kPostRecords);
    if (sending > 0)
        CloseDeadOwnersPosts(bus, owners[random.Below(sending)]);
    CloseDeadOwnersPosts(bus, owner + 1);
    PendingDeliveries(bus);

    ForgetVanishedClient(bus, clients[0].window, clients[0].pid);
    int unregistered = UnregisterClient(bus, random.Below(2) == 0 ? window : random.Value());
    ASSERT_TRUE(unregistered == kVelkOk || unregistered == kVelkNotRegistered);
    ASSERT_EQ(kBlockIsOurs, CheckBusHeader(bus, sizeof(SharedBus)));

    RepairBus(bus, random.Below(2) == 0 ? 0 : owners[0]);
    ExpectRepaired(bus);
}

TEST(BusBlock, EveryOperationSurvivesRandomCorruption)
{
    const char* configured = getenv("CORVANE_BLOCK_CORRUPTIONS");
    const long corruptions = configured != NULL ? atol(configured) : 3000;
    Block bus = NewBus();
    Random random(0x5EEDB10C);
    std::string payload;
    std::unique_ptr<unsigned char[]> out(new unsigned char[kMaxPayloadBytes + 1]);
    uint64_t repaired = 0;
    for (long i = 0; i < corruptions; ++i) {
        if (i % 100000 == 99999) {
            repaired += bus->counters.repaired;
            bus = NewBus();   // now and then from a sound block again
        }
        // The header stays valid: the attach refuses any other.
        Corrupt(bus.get(), random);
        bus->magic = kBusMagic;
        bus->layoutVersion = kBusLayoutVersion;
        bus->size = sizeof(SharedBus);
        SCOPED_TRACE(i);
        Exercise(bus.get(), random, payload, out.get());
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(repaired + bus->counters.repaired, 0u);
}

TEST(BusBlock, CountsAndLengthsBeyondTheirBoundsAreMendedAndCounted)
{
    Block bus = NewBus();
    ASSERT_EQ(kVelkOk, RegisterClient(bus.get(), Client(0x10, kAnyType, 7)));
    ASSERT_EQ(kVelkOk, RegisterClient(bus.get(), Client(0x20, kAnyType, 7)));
    bus->clientCount = 200;   // as a foreign writer left it
    Receiver receivers[kMaxClients];
    EXPECT_EQ(2u, CollectReceivers(bus.get(), kAnyType, 0, receivers));
    EXPECT_EQ(2u, bus->clientCount);
    EXPECT_EQ(0u, bus->counters.pruned);
    EXPECT_EQ(127u, bus->counters.repaired);   // the count, and 126 empty entries behind it

    uint32_t token = StorePayload(bus.get(), "abc", 3);
    bus->slots[token % kPayloadSlots].length = 0x300000;
    std::unique_ptr<unsigned char[]> out(new unsigned char[kMaxPayloadBytes + 1]);
    uint32_t length = 99;
    EXPECT_EQ(kFetchExpired, FetchPayload(bus.get(), token, out.get(), &length));
    EXPECT_EQ(0u, length);
    EXPECT_EQ(0u, bus->slots[token % kPayloadSlots].token);
    EXPECT_EQ(128u, bus->counters.repaired);
    EXPECT_EQ(kFetchUnknown, FetchPayload(bus.get(), token + 5, out.get(), &length));
    EXPECT_EQ(kFetchUnknown, FetchPayload(bus.get(), 0, out.get(), &length));
}

// A window that opted out of its own messages misses only what it posts
// itself; one that did not still gets its own, as the console always has.
TEST(BusBlock, OnlyTheOptedOutSenderMissesItsOwnPost)
{
    Block bus = NewBus();
    ASSERT_EQ(kVelkOk, RegisterClient(bus.get(), Client(0x10, kAnyType | kMaskNoOwnMessages, 7)));
    ASSERT_EQ(kVelkOk, RegisterClient(bus.get(), Client(0x20, kAnyType, 8)));
    ASSERT_EQ(kVelkOk, RegisterClient(bus.get(), Client(0x30, 0x0800 | kMaskNoOwnMessages, 9)));
    Receiver r[kMaxClients];
    ASSERT_EQ(2u, CollectReceivers(bus.get(), 0x20000800, 0x10, r));       // the bridge's own post
    EXPECT_EQ(0x20u, r[0].window);
    EXPECT_EQ(0x30u, r[1].window);
    ASSERT_EQ(3u, CollectReceivers(bus.get(), 0x20000800, 0x20, r));       // a local post equal to it
    EXPECT_EQ(0x10u, r[0].window);
    EXPECT_EQ(0x20u, r[1].window);                                          // the console hears itself
}

// routed = delivered + dropped + abandoned + pending, after a post completes,
// after its sender dies sending, and after a holder dies halfway through
// counting (the record's saved values redo the update).
TEST(BusBlock, EveryRoutedDeliveryIsAccountedForAfterAnyInterruption)
{
    Block bus = NewBus();
    SharedBus* b = bus.get();
    auto balanced = [b] {
        const BusCounters& c = b->counters;
        return c.routed == c.delivered + c.dropped + c.abandoned + PendingDeliveries(b);
    };
    const int64_t sender = 0x700000042LL, other = 0x700000043LL;

    int record = OpenPost(b, sender, 5);
    ASSERT_GE(record, 0);
    EXPECT_TRUE(balanced());
    NoteProgress(b, record, sender, 3, 1);
    ClosePost(b, record, sender, 4, 1);
    EXPECT_EQ(4u, b->counters.delivered);
    EXPECT_TRUE(balanced());

    // Killed after two of six receivers: the sweep closes it.
    record = OpenPost(b, sender, 6);
    NoteProgress(b, record, sender, 1, 1);
    uint32_t alsoSending = static_cast<uint32_t>(OpenPost(b, other, 2));
    int64_t owners[kPostRecords];
    ASSERT_EQ(2u, SendingOwners(b, owners));
    CloseDeadOwnersPosts(b, sender);
    EXPECT_EQ(4u, b->counters.abandoned);
    EXPECT_EQ(2u, PendingDeliveries(b));   // the live sender's post stays open
    EXPECT_TRUE(balanced());
    ClosePost(b, record, sender, 6, 0);    // a late close of a settled post counts nothing
    EXPECT_EQ(5u, b->counters.delivered);
    ClosePost(b, static_cast<int>(alsoSending), other, 2, 0);
    EXPECT_TRUE(balanced());

    // Died under the lock halfway through counting a post, then a close.
    record = OpenPost(b, sender, 3);
    b->posts[record].phase = kPostOpening;
    b->counters.routed -= 3;               // posted counted, routed not yet
    RepairBus(b, sender);
    EXPECT_EQ(4u, b->counters.posted);
    EXPECT_EQ(7u, b->counters.abandoned);
    EXPECT_TRUE(balanced());

    record = OpenPost(b, other, 4);
    ClosePost(b, record, other, 4, 0);
    b->posts[record].phase = kPostClosing; // as if it died before freeing the record
    b->counters.delivered += 1000;         // and with a torn counter
    RepairBus(b, 0);
    EXPECT_EQ(11u, b->counters.delivered);
    EXPECT_TRUE(balanced());
    EXPECT_EQ(0u, PendingDeliveries(b));
    EXPECT_EQ(0u, b->counters.repaired);
}

} // namespace
