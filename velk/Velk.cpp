// velk.dll: the entry points of the bus contract (velk/VelkApi.h) and the
// library's extra (velk/VelkLibrary.h), each traced when VELK_TRACE asks
// (velk/Trace.h); the tests' seams are in TestSeams.cpp.
// Nothing may escape into the caller: each entry point answers with a result
// or a text, never an exception.
#include <windows.h>
#include <string>

#include "velk/BusLink.h"
#include "velk/BusLock.h"
#include "velk/Delivery.h"
#include "velk/Departures.h"
#include "velk/InfoTexts.h"
#include "velk/OwnClients.h"
#include "velk/PayloadStore.h"
#include "velk/Registry.h"
#include "velk/Trace.h"
#include "velk/VelkLibrary.h"
#include "velk/WindowBits.h"

static_assert(VELK_MASK_NO_OWN_MESSAGES == kMaskNoOwnMessages, "the published flag is the stored one");

namespace {

// What vGetp and vGetInfo hand out, per process: valid until the caller's
// next call of the same entry point. Calls come from one thread, as the
// contract says; nothing here is guarded for more.
unsigned char g_payload[kMaxPayloadBytes + 1];
std::string g_info;

void CopyName(char (&target)[kClientNameBytes], const char* name)
{
    size_t length = 0;
    if (name != NULL) {
        // Cut to fit without splitting a double-byte character.
        while (name[length] != '\0') {
            size_t step = IsDBCSLeadByte(static_cast<BYTE>(name[length])) && name[length + 1] != '\0' ? 2 : 1;
            if (length + step > kClientNameBytes - 1)
                break;
            length += step;
        }
        memcpy(target, name, length);
    }
    memset(target + length, 0, kClientNameBytes - length);
}

// The entry points' bodies; the exported functions below trace around them.

int PostData(HWND hWnd, UINT code, LPARAM dataWord, int length)
{
    // A subscribed sender receives its own message unless its mask opted out.
    int status;
    SharedBus* bus = AttachedBus(&status);
    if (bus == NULL)
        return status;
    return PostBusData(bus, WindowBits(hWnd), code, dataWord, length);
}

int Register(HWND hWnd, UINT mask, const char* clientName)
{
    int status;
    SharedBus* bus = AttachedBus(&status);
    if (bus == NULL)
        return status;
    BusClient client;
    DWORD pid = 0;
    client.tid = GetWindowThreadProcessId(hWnd, &pid);
    if (hWnd == NULL || client.tid == 0)
        return kVelkBadWindow;
    client.window = WindowBits(hWnd);
    client.mask = mask;
    client.pid = pid;
    CopyName(client.name, clientName);

    PruneVanishedClients(bus);   // frees the room of departed clients before refusing
    int registered;
    {
        BusLock lock(bus);
        registered = RegisterClient(bus, client);
    }
    if (registered == kVelkOk)
        RememberOwnClient(client);
    return registered;
}

int Unregister(HWND hWnd)
{
    int status;
    SharedBus* bus = AttachedBus(&status);
    if (bus == NULL)
        return status;
    ForgetOwnClient(WindowBits(hWnd));
    BusLock lock(bus);
    return UnregisterClient(bus, WindowBits(hWnd));
}

// An index out of range reads as 0, the value every variable starts with.
int GetPublicVar(int index)
{
    int status;
    SharedBus* bus = AttachedBus(&status);
    if (bus == NULL || index < 0 || index >= static_cast<int>(kPublicVarCount))
        return 0;
    return bus->vars[index];
}

int SetPublicVar(int index, int value)
{
    int status;
    SharedBus* bus = AttachedBus(&status);
    if (bus == NULL)
        return status;
    if (index < 0 || index >= static_cast<int>(kPublicVarCount))
        return kVelkBadIndex;
    InterlockedExchange(reinterpret_cast<volatile LONG*>(&bus->vars[index]), value);
    return kVelkOk;
}

const char* Getp(LPARAM dataWord, int* length)
{
    if (length != NULL)
        *length = 0;
    int status;
    SharedBus* bus = AttachedBus(&status);
    if (bus == NULL)
        return NULL;
    // Only the low 32 bits are the token, whichever width sent or received it.
    uint32_t token = static_cast<uint32_t>(static_cast<ULONG_PTR>(dataWord));
    uint32_t stored = 0;
    BusLock lock(bus);
    FetchVerdict verdict = FetchPayload(bus, token, g_payload, &stored);
    if (verdict != kFetched) {
        ++(verdict == kFetchExpired ? bus->counters.expired : bus->counters.unknown);
        return NULL;
    }
    if (length != NULL)
        *length = static_cast<int>(stored);
    return reinterpret_cast<const char*>(g_payload);
}

const char* GetInfo(int selector)
{
    int status;
    SharedBus* bus = AttachedBus(&status);
    try {
        g_info = InfoText(bus, status, selector);
    } catch (...) {
        g_info.clear();   // out of memory: an empty text rather than none
    }
    return g_info.c_str();
}

int BusStatus(void)
{
    int status;
    AttachedBus(&status);
    return status;
}

} // namespace

extern "C" {

int __cdecl vPostData(HWND hWnd, UINT code, LPARAM dataWord, int length)
{
    int result = PostData(hWnd, code, dataWord, length);
    if (TraceOn(kTracePost))
        TraceLine("vPostData(%p, %08x, %p, %d) = %d", static_cast<void*>(hWnd), code,
                  reinterpret_cast<void*>(dataWord), length, result);
    return result;
}

int __cdecl vRegister(HWND hWnd, UINT mask, const char* clientName)
{
    int result = Register(hWnd, mask, clientName);
    if (TraceOn(kTraceRegister)) {
        char name[256];
        TraceLine("vRegister(%p, %08x, %s) = %d", static_cast<void*>(hWnd), mask, TraceText(clientName, name),
                  result);
    }
    return result;
}

int __cdecl vUnregister(HWND hWnd)
{
    int result = Unregister(hWnd);
    if (TraceOn(kTraceUnregister))
        TraceLine("vUnregister(%p) = %d", static_cast<void*>(hWnd), result);
    return result;
}

int __cdecl vGetPublicVar(int index)
{
    int result = GetPublicVar(index);
    if (TraceOn(kTraceGetVar))
        TraceLine("vGetPublicVar(%d) = %d", index, result);
    return result;
}

int __cdecl vSetPublicVar(int index, int value)
{
    int result = SetPublicVar(index, value);
    if (TraceOn(kTraceSetVar))
        TraceLine("vSetPublicVar(%d, %d) = %d", index, value, result);
    return result;
}

const char* __cdecl vGetp(LPARAM dataWord, int* length)
{
    const char* result = Getp(dataWord, length);
    if (TraceOn(kTraceGetp))
        TraceLine("vGetp(%p, %p) = %p, length %d", reinterpret_cast<void*>(dataWord), static_cast<void*>(length),
                  static_cast<const void*>(result), length != NULL ? *length : 0);
    return result;
}

const char* __cdecl vGetInfo(int selector)
{
    const char* result = GetInfo(selector);
    if (TraceOn(kTraceInfo)) {
        char text[256];
        TraceLine("vGetInfo(%d) = %s", selector, TraceText(result, text));
    }
    return result;
}

int __cdecl velkBusStatus(void)
{
    int result = BusStatus();
    if (TraceOn(kTraceStatus))
        TraceLine("velkBusStatus() = %d", result);
    return result;
}

} // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        StartTrace();
        OpenBusLink();
    } else if (reason == DLL_PROCESS_DETACH && reserved == NULL) {
        CloseBusLink();   // FreeLibrary; at process exit the system cleans up
    }
    return TRUE;
}
