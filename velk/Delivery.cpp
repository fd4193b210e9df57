#include "velk/Delivery.h"

#include "bus/VelkApi.h"
#include "console/MessageCode.h"
#include "velk/BusLock.h"
#include "velk/PayloadStore.h"
#include "velk/Registry.h"
#include "velk/VelkLibrary.h"

namespace {

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

int PostBusData(SharedBus* bus, UINT code, LPARAM dataWord, int length)
{
    bool payload = ClassifyCode(code) != kValueMessage;
    const void* bytes = reinterpret_cast<const void*>(dataWord);
    if (payload) {
        int check = CheckPayload(bytes, length);
        if (check != kVelkOk)
            return RefusePost(bus, check);
    }
    PruneVanishedClientsWhenDue(bus);

    Receiver receivers[kMaxClients];
    uint32_t receiverCount;
    {
        BusLock lock(bus);
        if (payload)
            dataWord = static_cast<LPARAM>(StorePayload(bus, bytes, static_cast<uint32_t>(length)));
        receiverCount = CollectReceivers(bus, code, receivers);
        ++bus->counters.posted;
    }

    // A receiver whose window is gone counts as dropped and leaves the registry.
    Receiver vanished[kMaxClients];
    uint32_t vanishedCount = 0;
    uint32_t delivered = 0;
    for (uint32_t i = 0; i < receiverCount; ++i) {
        if (PostToReceiver(WindowOf(receivers[i].window), code, dataWord))
            ++delivered;
        else if (GetLastError() == ERROR_INVALID_WINDOW_HANDLE)
            vanished[vanishedCount++] = receivers[i];
    }

    BusLock lock(bus);
    bus->counters.delivered += delivered;
    bus->counters.dropped += receiverCount - delivered;
    for (uint32_t i = 0; i < vanishedCount; ++i)
        ForgetVanishedClient(bus, vanished[i].window, vanished[i].pid);
    return static_cast<int>(delivered);
}

void FailNextPosts(int count)
{
    InterlockedExchange(&g_failPostsLeft, count > 0 ? count : 0);
}
