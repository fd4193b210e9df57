#include "velk/BusLink.h"

#include <wchar.h>
#include <windows.h>
#include <winternl.h>
#include <string>

#include "velk/BusBlock.h"
#include "velk/BusLock.h"
#include "velk/OwnClients.h"
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
// The mutex an attach found held by a live process: later attaches only
// look whether it is free yet instead of waiting the full time again.
HANDLE g_busyMutex;

// The name in the system code page, exactly: its length in bytes, or -1 when
// a character would not convert (it would become '?' or a look-alike, and
// two names would name one bus) or the bytes exceed room.
int ToCodePageExactly(const wchar_t* name, int length, char* out, int room)
{
    UINT codePage = GetACP();
    bool utf8 = codePage == CP_UTF8;   // takes neither the flag nor the question
    BOOL usedDefault = FALSE;
    int bytes = WideCharToMultiByte(codePage, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, name, length, out,
                                    room, NULL, utf8 ? NULL : &usedDefault);
    return bytes > 0 && !usedDefault ? bytes : -1;
}

// The bus's name from the environment, read wide; unset or empty means the
// default. A name that cannot be used is refused rather than replaced by
// another bus.
int BusName(std::string* busName)
{
    wchar_t name[kMaxBusNameBytes + 2];
    DWORD length = GetEnvironmentVariableW(VELK_BUS_NAME_VARIABLE_W, name, kMaxBusNameBytes + 2);
    if (length == 0) {
        *busName = VELK_DEFAULT_BUS_NAME;
        return kVelkOk;
    }
    // Every character takes a byte at least: more characters are too many bytes.
    if (length > kMaxBusNameBytes || wmemchr(name, L'\\', length) != NULL)
        return kVelkBadBusName;   // too long, or a path below the session's namespace
    char bytes[kMaxBusNameBytes];
    int converted = ToCodePageExactly(name, static_cast<int>(length), bytes, static_cast<int>(sizeof bytes));
    if (converted < 0)
        return kVelkBadBusName;
    busName->assign(bytes, static_cast<size_t>(converted));
    return kVelkOk;
}

// Session-local, so each desktop session has its own bus.
std::string ObjectName(const std::string& busName, const char* suffix)
{
    return "Local\\" + busName + suffix;
}

int ResultOfWait(DWORD wait)
{
    if (wait == WAIT_TIMEOUT)
        return kVelkBusBusy;
    return kVelkNoBus;
}

// Under the bus mutex: opens or makes the block and checks what it holds.
// A block without magic (its maker died before finishing it, or another
// process wrote over a live bus's header) is taken: AttachedBus mends its
// header in place before any use.
int MapBlock(const std::string& busName, HANDLE* mapping, SharedBus** bus)
{
    HANDLE made = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0,
                                     sizeof(SharedBus), ObjectName(busName, ".Block").c_str());
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
        InitialiseBus(block);
    } else {
        switch (CheckBusHeader(view, regionBytes)) {
        case kBlockIsOurs:
        case kBlockIsUnfinished:
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
    std::string busName;
    int named = BusName(&busName);
    if (named != kVelkOk)
        return named;
    bool heldBefore = g_busyMutex != NULL;
    HANDLE mutex = heldBefore ? g_busyMutex : CreateMutexA(NULL, FALSE, ObjectName(busName, ".Mutex").c_str());
    g_busyMutex = NULL;
    if (mutex == NULL)
        return GetLastError() == ERROR_INVALID_HANDLE ? kVelkForeignObject : kVelkNoBus;
    DWORD wait = WaitForSingleObject(mutex, heldBefore ? 0 : kMutexWaitMs);
    if (wait == WAIT_TIMEOUT) {
        g_busyMutex = mutex;
        return kVelkBusBusy;
    }
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return kVelkNoBus;
    }

    HANDLE mapping = NULL;
    SharedBus* bus = NULL;
    int result = MapBlock(busName, &mapping, &bus);
    if (result == kVelkOk && wait == WAIT_ABANDONED) {
        // Its holder died midway through an attach: look the state over, in
        // place, never cleared (other processes may be attached to it).
        BusLock lock(bus);
        RepairBus(bus, 0);
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
    ResetLockWatch();
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
    if (bus == NULL) {
        EnterCriticalSection(&g_attachGuard);
        if (g_bus == NULL)
            g_lastStatus = Attach();
        bus = g_bus;
        *status = bus != NULL ? kVelkOk : g_lastStatus;
        LeaveCriticalSection(&g_attachGuard);
        if (bus == NULL)
            return NULL;
    }
    *status = kVelkOk;
    LookAfterBus(bus);
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
        ForgetOwnClients();
    }
    if (g_busyMutex != NULL) {
        CloseHandle(g_busyMutex);
        g_busyMutex = NULL;
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

int AttachedProcessCount()
{
    typedef NTSTATUS (NTAPI *QueryObject)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    // Looked up rather than imported: the library imports only KERNEL32, USER32 and msvcrt.
    static QueryObject query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    int status;
    if (query == NULL || AttachedBus(&status) == NULL)
        return 0;
    EnterCriticalSection(&g_attachGuard);
    PUBLIC_OBJECT_BASIC_INFORMATION information;
    ULONG written = 0;
    NTSTATUS queried = g_mapping == NULL ? -1 : query(g_mapping, ObjectBasicInformation, &information,
                                                      sizeof information, &written);
    LeaveCriticalSection(&g_attachGuard);
    return queried >= 0 ? static_cast<int>(information.HandleCount) : 0;
}
