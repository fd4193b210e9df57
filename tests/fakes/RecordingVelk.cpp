// A recording bus library. Built twice: with all seven entry points, and
// without vGetPublicVar (the .def file decides what is exported).
#include "tests/fakes/FakeVelk.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace {

CRITICAL_SECTION g_lock;

struct InfoText {
    bool isNull;
    std::string text;
};

struct State {
    std::vector<FakeCall> calls;
    std::map<int, InfoText> info;
    std::string payload;
    std::string lastInfo;   // what vGetInfo handed out last: valid until the next call
    PFN_fakePostHook postHook = nullptr;
    void* postHookContext = nullptr;
};

State* g_state = nullptr;

class Lock {
public:
    Lock() { EnterCriticalSection(&g_lock); }
    ~Lock() { LeaveCriticalSection(&g_lock); }
};

void SetDefaultTexts()
{
    g_state->info[127] = InfoText{ false, "2.1" };
    g_state->info[128] = InfoText{ false, "Apr 2 2024" };
    g_state->info[129] = InfoText{ false, "handles of the fake bus" };
    g_state->info[130] = InfoText{ false, "variables of the fake bus" };
    g_state->info[131] = InfoText{ false, "about the fake bus" };
}

FakeCall NewCall(const char* entry, HWND window)
{
    FakeCall call;
    ZeroMemory(&call, sizeof call);
    lstrcpynA(call.entry, entry, sizeof call.entry);
    call.window = reinterpret_cast<unsigned long long>(window);
    call.windowAlive = window != nullptr && IsWindow(window) ? 1 : 0;
    return call;
}

void Record(const FakeCall& call)
{
    Lock lock;
    g_state->calls.push_back(call);
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&g_lock);
        g_state = new State;
        SetDefaultTexts();
    } else if (reason == DLL_PROCESS_DETACH) {
        delete g_state;
        g_state = nullptr;
        DeleteCriticalSection(&g_lock);
    }
    return TRUE;
}

extern "C" {

int __cdecl vPostData(HWND window, UINT code, LPARAM dataWord, int length)
{
    FakeCall call = NewCall("vPostData", window);
    call.word = code;
    call.dataWord = dataWord;
    call.number = length;
    // The payload is the caller's only during the call: copy it now.
    bool payload = (code & 0x600) != 0 && (code & 0x30000000) != 0;
    if (payload && dataWord != 0 && length > 0) {
        call.payloadLength = length;
        size_t kept = static_cast<size_t>(length) < sizeof call.payload ? static_cast<size_t>(length) : sizeof call.payload;
        CopyMemory(call.payload, reinterpret_cast<const void*>(dataWord), kept);
    }
    Record(call);
    PFN_fakePostHook hook;
    void* context;
    {
        Lock lock;
        hook = g_state->postHook;
        context = g_state->postHookContext;
    }
    if (hook != nullptr)
        hook(context);
    return 0;
}

int __cdecl vRegister(HWND window, UINT mask, const char* clientName)
{
    FakeCall call = NewCall("vRegister", window);
    call.word = mask;
    if (clientName != nullptr)
        lstrcpynA(call.text, clientName, sizeof call.text);
    Record(call);
    return 0;
}

int __cdecl vUnregister(HWND window)
{
    Record(NewCall("vUnregister", window));
    return 0;
}

int __cdecl vGetPublicVar(int index)
{
    FakeCall call = NewCall("vGetPublicVar", nullptr);
    call.number = index;
    Record(call);
    return 0;
}

int __cdecl vSetPublicVar(int index, int value)
{
    FakeCall call = NewCall("vSetPublicVar", nullptr);
    call.number = index;
    call.value = value;
    Record(call);
    return 0;
}

const char* __cdecl vGetp(LPARAM dataWord, int* length)
{
    FakeCall call = NewCall("vGetp", nullptr);
    call.dataWord = dataWord;
    Record(call);
    Lock lock;
    if (length != nullptr)
        *length = static_cast<int>(g_state->payload.size());
    return g_state->payload.c_str();
}

const char* __cdecl vGetInfo(int selector)
{
    FakeCall call = NewCall("vGetInfo", nullptr);
    call.number = selector;
    Record(call);
    Lock lock;
    std::map<int, InfoText>::const_iterator found = g_state->info.find(selector);
    if (found == g_state->info.end())
        g_state->lastInfo.clear();
    else if (found->second.isNull)
        return nullptr;
    else
        g_state->lastInfo = found->second.text;
    return g_state->lastInfo.c_str();
}

int __cdecl fakeCallCount(void)
{
    Lock lock;
    return static_cast<int>(g_state->calls.size());
}

int __cdecl fakeGetCall(int index, FakeCall* call)
{
    Lock lock;
    if (index < 0 || index >= static_cast<int>(g_state->calls.size()) || call == nullptr)
        return 0;
    *call = g_state->calls[static_cast<size_t>(index)];
    return 1;
}

void __cdecl fakeClearCalls(void)
{
    Lock lock;
    g_state->calls.clear();
}

void __cdecl fakeSetInfo(int selector, const char* text)
{
    Lock lock;
    g_state->info[selector] = text != nullptr ? InfoText{ false, text } : InfoText{ true, std::string() };
}

void __cdecl fakeSetPayload(const char* bytes, int length)
{
    Lock lock;
    g_state->payload.assign(bytes != nullptr ? bytes : "", bytes != nullptr && length > 0 ? static_cast<size_t>(length) : 0);
}

void __cdecl fakeSetPostHook(PFN_fakePostHook hook, void* context)
{
    Lock lock;
    g_state->postHook = hook;
    g_state->postHookContext = context;
}

} // extern "C"
