#include "velk/Delivery.h"

#include "velk/VelkApi.h"
#include "protocol/MessageCode.h"
#include "velk/BusLock.h"
#include "velk/Departures.h"
#include "velk/PayloadStore.h"
#include "velk/PostLedger.h"
#include "velk/Registry.h"
#include "velk/VelkLibrary.h"
#include "velk/WindowBits.h"

namespace {

#ifdef VELK_TEST_SEAMS
volatile LONG g_failPostsLeft;

bool TakeInjectedFailure()
{
    for (;;) {
        LONG left = g_failPostsLeft;
        if (left <= 0)
            return false;
        if (InterlockedCompareExchange(&g_failPostsLeft, left - 1, left) == left)
            return true;
    }
}
#else
bool TakeInjectedFailure()
{
    return false;
}
#endif

// The one trip to the window system per receiver. A full queue fails with
// ERROR_NOT_ENOUGH_QUOTA on Windows; Wine's queues never fill, hence the seam.
bool PostToReceiver(HWND receiver, UINT code, LPARAM dataWord)
{
    if (TakeInjectedFailure()) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return false;
    }
    return PostMessageA(receiver, WM_BUS_MESSAGE, code, dataWord) != FALSE;
}

int RefusePost(SharedBus* bus, int result)
{
    BusLock lock(bus);
    ++bus->counters.refused;
    return result;
}

int CheckPayload(const void* bytes, int length)
{
    if (length < 0 || (bytes == NULL && length > 0))
        return kVelkBadArgument;
    if (length > static_cast<int>(kMaxPayloadBytes))
        return kVelkPayloadTooLarge;
    return kVelkOk;
}

} // namespace

int PostBusData(SharedBus* bus, uint32_t sender, UINT code, LPARAM dataWord, int length)
{
    bool payload = ClassifyCode(code) != kValueMessage;
    const void* bytes = reinterpret_cast<const void*>(dataWord);
    if (payload) {
        int check = CheckPayload(bytes, length);
        if (check != kVelkOk)
            return RefusePost(bus, check);
    }
    SweepDeparturesWhenDue(bus);

    // The post is counted with its receivers and recorded before the first
    // of them is tried; its outcome is counted when the last is decided. A
    // sender killed between leaves the record, and the sweep that finds it
    // dead counts the rest as abandoned.
    int64_t owner = OwnLockWord();
    Receiver receivers[kMaxClients];
    uint32_t receiverCount = 0;
    int record = -1;
    for (int attempt = 0; record < 0; ++attempt) {
        if (attempt == 1)
            SettleDeadSenders(bus);   // every record taken: some may be the dead's
        BusLock lock(bus);
        receiverCount = CollectReceivers(bus, code, sender, receivers);
        record = OpenPost(bus, owner, receiverCount);
        if (record < 0 && attempt == 1) {
            ++bus->counters.refused;
            return kVelkTooManyPosts;
        }
        if (record >= 0 && payload)
            dataWord = static_cast<LPARAM>(StorePayload(bus, bytes, static_cast<uint32_t>(length)));
    }

    // A receiver whose window is gone counts as dropped and leaves the registry.
    Receiver vanished[kMaxClients];
    uint32_t vanishedCount = 0;
    uint32_t delivered = 0, dropped = 0;
    for (uint32_t i = 0; i < receiverCount; ++i) {
        if (PostToReceiver(WindowOf(receivers[i].window), code, dataWord)) {
            ++delivered;
        } else {
            ++dropped;
            if (GetLastError() == ERROR_INVALID_WINDOW_HANDLE)
                vanished[vanishedCount++] = receivers[i];
        }
        NoteProgress(bus, record, owner, delivered, dropped);
    }

    BusLock lock(bus);
    ClosePost(bus, record, owner, delivered, dropped);
    for (uint32_t i = 0; i < vanishedCount; ++i)
        ForgetVanishedClient(bus, vanished[i].window, vanished[i].pid);
    return static_cast<int>(delivered);
}

#ifdef VELK_TEST_SEAMS
void FailNextPosts(int count)
{
    InterlockedExchange(&g_failPostsLeft, count > 0 ? count : 0);
}
#endif
