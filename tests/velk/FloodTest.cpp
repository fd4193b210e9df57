// A flood at a receiver that falls behind: every delivery is either made or
// counted as dropped, injected queue-full failures included.
#include "protocol/MessageCode.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/TestSeams.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest Flood;

TEST_F(Flood, SlowReceiverEveryDeliveryIsMadeOrCounted)
{
    const int kMessages = 100000;
    const int kInjectedFailures = 500;
    ChildProcess receiver;
    ASSERT_TRUE(receiver.Start("velk_peer.exe",
                               "receive 0x800 " + std::to_string(kMessages - kInjectedFailures) + " slow"));
    ASSERT_TRUE(WaitForClients(1));

    // Values count up, so the receiver can tell a repeat or a reordering.
    long long deliveredByResult = 0;
    for (int i = 0; i < kMessages; ++i) {
        if (i == kMessages / 2)
            velkTestFailPosts(kInjectedFailures);   // the queue is full for a while
        int result = vPostData(window_, 0x20000801, static_cast<LPARAM>(i), 4);
        ASSERT_GE(result, 0);
        deliveredByResult += result;
    }

    EXPECT_EQ(0, receiver.Wait(300000));
    EXPECT_EQ((std::vector<std::string>{ "received 99500 disorder 0" }), receiver.Lines());
    std::map<std::string, uint64_t> counters = Counters();
    EXPECT_EQ(static_cast<uint64_t>(kMessages), counters["posted"]);
    EXPECT_EQ(static_cast<uint64_t>(kMessages - kInjectedFailures), counters["delivered"]);
    EXPECT_EQ(static_cast<uint64_t>(kInjectedFailures), counters["dropped"]);
    EXPECT_EQ(counters["delivered"], static_cast<uint64_t>(deliveredByResult));
    EXPECT_EQ(0u, counters["pruned"]);   // a full queue is no reason to forget a receiver
}

} // namespace
