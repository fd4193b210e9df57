#include "velk/BusLink.h"

#include <windows.h>
#include <string>

#include "velk/BusBlock.h"
#include "velk/BusLock.h"
#include "velk/VelkLibrary.h"

namespace {

// The mutex only orders making and checking the block; it is never on the
// path of a message.
const DWORD kMutexWaitMs = 10000;
const size_t kMaxBusNameBytes = 200;

CRITICAL_SECTION g_attachGuard;
SharedBus* volatile g_bus;
HANDLE g_mapping;
// Kept open while attached: a mutex abandoned by a dying process then
// survives it, and the next attach learns of the death.
HANDLE g_mutex;
int g_lastStatus = kVelkNoBus;

std::string BusName()
{
    char name[kMaxBusNameBytes + 2];
    DWORD length = GetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, name, sizeof name);
    if (length == 0 || length > kMaxBusNameBytes)
        return VELK_DEFAULT_BUS_NAME;
    return std::string(name, length);
}

// Session-local, so each desktop session has its own bus.
std::string ObjectName(const char* suffix)
{
    return "Local\\" + BusName() + suffix;
}

HANDLE OpenBusMutex()
{
    return CreateMutexA(NULL, FALSE, ObjectName(".Mutex").c_str());
}

int ResultOfWait(DWORD wait)
{
    if (wait == WAIT_TIMEOUT)
        return kVelkBusBusy;
    return kVelkNoBus;
}

// Under the bus mutex: opens or makes the block and checks what it holds.
int MapBlock(HANDLE* mapping, SharedBus** bus)
{
    HANDLE made = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0,
                                     sizeof(SharedBus), ObjectName(".Block").c_str());
    if (made == NULL)
        return GetLastError() == ERROR_INVALID_HANDLE ? kVelkForeignObject : kVelkNoBus;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;

    void* view = MapViewOfFile(made, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    if (view == NULL) {
        CloseHandle(made);
        return existed ? kVelkForeignObject : kVelkNoBus;
    }
    MEMORY_BASIC_INFORMATION region;
    size_t regionBytes = VirtualQuery(view, &region, sizeof region) != 0 ? region.RegionSize : 0;

    int result = kVelkOk;
    SharedBus* block = static_cast<SharedBus*>(view);
    if (!existed) {
        InitialiseBus(block, false);
    } else {
        switch (CheckBusHeader(view, regionBytes)) {
        case kBlockIsOurs:
            break;
        case kBlockIsUnfinished:
            InitialiseBus(block, true);
            break;
        case kBlockIsForeign:
            result = kVelkForeignObject;
            break;
        case kBlockIsOtherVersion:
            result = kVelkWrongVersion;
            break;
        }
    }
    if (result != kVelkOk) {
        UnmapViewOfFile(view);
        CloseHandle(made);
        return result;
    }
    *mapping = made;
    *bus = block;
    return kVelkOk;
}

// With g_attachGuard held.
int Attach()
{
    HANDLE mutex = OpenBusMutex();
    if (mutex == NULL)
        return GetLastError() == ERROR_INVALID_HANDLE ? kVelkForeignObject : kVelkNoBus;
    DWORD wait = WaitForSingleObject(mutex, kMutexWaitMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return ResultOfWait(wait);
    }

    HANDLE mapping = NULL;
    SharedBus* bus = NULL;
    int result = MapBlock(&mapping, &bus);
    if (result == kVelkOk && wait == WAIT_ABANDONED) {
        // Its holder died midway through an attach: look the state over.
        BusLock lock(bus);
        RepairBus(bus);
        ++bus->counters.mutexRecoveries;
    }
    ReleaseMutex(mutex);

    if (result != kVelkOk) {
        CloseHandle(mutex);
        return result;
    }
    g_mutex = mutex;
    g_mapping = mapping;
    g_bus = bus;
    return kVelkOk;
}

} // namespace

void OpenBusLink()
{
    InitializeCriticalSection(&g_attachGuard);
    PrepareBusLock();
}

void CloseBusLink()
{
    DetachBus();
    DeleteCriticalSection(&g_attachGuard);
}

SharedBus* AttachedBus(int* status)
{
    SharedBus* bus = g_bus;
    if (bus != NULL) {
        *status = kVelkOk;
        return bus;
    }
    EnterCriticalSection(&g_attachGuard);
    if (g_bus == NULL)
        g_lastStatus = Attach();
    bus = g_bus;
    *status = bus != NULL ? kVelkOk : g_lastStatus;
    LeaveCriticalSection(&g_attachGuard);
    return bus;
}

void DetachBus()
{
    EnterCriticalSection(&g_attachGuard);
    if (g_bus != NULL) {
        UnmapViewOfFile(g_bus);
        CloseHandle(g_mapping);
        CloseHandle(g_mutex);
        g_bus = NULL;
        g_mapping = NULL;
        g_mutex = NULL;
    }
    g_lastStatus = kVelkNoBus;
    LeaveCriticalSection(&g_attachGuard);
}

int HoldBusMutex()
{
    int status;
    if (AttachedBus(&status) == NULL)
        return status;
    DWORD wait = WaitForSingleObject(g_mutex, kMutexWaitMs);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED ? kVelkOk : ResultOfWait(wait);
}
