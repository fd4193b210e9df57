// A process that dies holding the bus lock or mutex does not wedge the bus;
// an object of the bus's name that is not our bus is never trusted.
#include <string.h>

#include "bus/VelkApi.h"
#include "console/MessageCode.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/InfoTexts.h"
#include "velk/SharedBus.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest Recovery;
typedef BusTest Attach;

const int kTerminatedHolding = 3;   // velkTestDieHolding's exit code

TEST_F(Recovery, DeadLockHolderIsTakenOverAndTheStateRepaired)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, kTypeDepth, "self"));
    ChildProcess holder;
    ASSERT_TRUE(holder.Start("velk_peer.exe", "die-holding lock"));
    ASSERT_EQ(kTerminatedHolding, holder.Wait(30000));

    // The counters need the lock; the holder left five phantom clients
    // counted, which only the repair removes (the counters prune nothing).
    std::map<std::string, uint64_t> counters = Counters();
    EXPECT_EQ(1u, counters["lock-recoveries"]);
    EXPECT_EQ(1u, counters["clients"]);
    EXPECT_EQ(1u, ClientLines().size());
    EXPECT_EQ(1, vPostData(window_, 0x20000801, 1, 4));
    EXPECT_EQ(1u, Receive(window_, 1).size());
}

TEST_F(Recovery, AbandonedMutexIsNoticedAndTheBusGoesOn)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, kTypeDepth, "self"));
    ChildProcess holder;
    ASSERT_TRUE(holder.Start("velk_peer.exe", "die-holding mutex"));
    ASSERT_EQ(kTerminatedHolding, holder.Wait(30000));

    // A fresh process must get through the mutex to attach.
    ChildProcess lister;
    ASSERT_TRUE(lister.Start("velkctl.exe", "clients"));
    EXPECT_EQ(0, lister.Wait(30000));
    EXPECT_EQ(1u, lister.Lines().size());
    EXPECT_EQ(1u, Counters()["mutex-recoveries"]);
    EXPECT_EQ(1, vPostData(window_, 0x20000801, 1, 4));
}

// Makes a mapping of the bus block's name holding the given header.
HANDLE PlantBlock(const char* busName, DWORD bytes, uint32_t magic, uint32_t version, uint32_t size)
{
    std::string name = std::string("Local\\") + busName + ".Block";
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, bytes, name.c_str());
    if (mapping == NULL)
        return NULL;
    uint32_t* header = static_cast<uint32_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 16));
    header[0] = magic;
    header[1] = version;
    header[2] = size;
    UnmapViewOfFile(header);
    return mapping;
}

TEST_F(Attach, RefusesWhatIsNotOurBusAndAdoptsAnUnfinishedOne)
{
    struct Case {
        const char* what;
        DWORD bytes;
        uint32_t magic, version, size;
        int expected;
    };
    const DWORD full = sizeof(SharedBus);
    const Case cases[] = {
        { "wrong magic", full, 0x12345678, kBusLayoutVersion, full, kVelkForeignObject },
        { "other version", full, kBusMagic, kBusLayoutVersion + 1, full, kVelkWrongVersion },
        { "other size", full + 4096, kBusMagic, kBusLayoutVersion, full + 4096, kVelkWrongVersion },
        { "too small to be ours", 4096, kBusMagic, kBusLayoutVersion, full, kVelkForeignObject },
        { "small and empty", 4096, 0, 0, 0, kVelkForeignObject },
        { "unfinished", full, 0, kBusLayoutVersion, 0, kVelkOk },
    };
    int caseNumber = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        char busName[64];
        snprintf(busName, sizeof busName, "velkplant-%lu-%d", GetCurrentProcessId(), ++caseNumber);
        HANDLE planted = PlantBlock(busName, test.bytes, test.magic, test.version, test.size);
        ASSERT_TRUE(planted != NULL);
        SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, busName);
        EXPECT_EQ(test.expected, velkTestSelectBus());
        EXPECT_EQ(test.expected, vRegister(window_, kTypeDepth, "self"));
        if (test.expected != kVelkOk) {
            EXPECT_EQ(test.expected, vPostData(window_, 0x20000801, 1, 4));
            EXPECT_EQ(0, strncmp("no bus", vGetInfo(kInfoFurther), 6));
            EXPECT_STREQ("", vGetInfo(kInfoHandles));
            EXPECT_STREQ(VELK_VERSION_TEXT, vGetInfo(kInfoVersion));   // still answers
        } else {
            EXPECT_EQ(1u, ClientLines().size());
            EXPECT_EQ(1, vPostData(window_, 0x20000801, 1, 4));
        }
        CloseHandle(planted);
    }

    // Another kind of object under the block's name.
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, "velkplant-event");
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, "Local\\velkplant-event.Block");
    ASSERT_TRUE(event != NULL);
    EXPECT_EQ(kVelkForeignObject, velkTestSelectBus());

    ChildProcess refused;
    ASSERT_TRUE(refused.Start("velkctl.exe", "clients"));
    EXPECT_EQ(2, refused.Wait(30000));
    ASSERT_EQ(1u, refused.Lines().size());
    EXPECT_EQ("velkctl: no bus: an object of the bus's name is not a bus (-2)", refused.Lines()[0]);
    CloseHandle(event);
    EXPECT_STREQ("", vGetInfo(999));   // an unknown selector: empty, never null
}

} // namespace
