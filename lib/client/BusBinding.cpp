#include "client/BusBinding.h"

#include "windows/LibraryLoad.h"
#include "common/Catalogue.h"
#include "common/FormatText.h"

#include <stdio.h>

namespace {

template <typename Entry>
bool Bind(HMODULE module, const char* name, Entry* slot, std::string* error)
{
    *slot = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (*slot == NULL && error->empty())
        *error = FormatText(N_("velk.dll has no entry point %s"), name);
    return *slot != NULL;
}

} // namespace

bool LoadBus(BusBinding* binding, std::string* error)
{
    ZeroMemory(binding, sizeof *binding);
    error->clear();
    binding->module = LoadLibraryFromSafeFolders(L"velk.dll");
    if (binding->module == NULL) {
        char text[64];
        snprintf(text, sizeof text, N_("cannot load velk.dll (error %lu)"), GetLastError());
        *error = text;
        return false;
    }
    HMODULE module = binding->module;
    bool bound = Bind(module, "vPostData", &binding->vPostData, error);
    bound = Bind(module, "vRegister", &binding->vRegister, error) && bound;
    bound = Bind(module, "vUnregister", &binding->vUnregister, error) && bound;
    bound = Bind(module, "vGetPublicVar", &binding->vGetPublicVar, error) && bound;
    bound = Bind(module, "vSetPublicVar", &binding->vSetPublicVar, error) && bound;
    bound = Bind(module, "vGetp", &binding->vGetp, error) && bound;
    bound = Bind(module, "vGetInfo", &binding->vGetInfo, error) && bound;
    binding->velkBusStatus = reinterpret_cast<PFN_velkBusStatus>(
        reinterpret_cast<void*>(GetProcAddress(module, "velkBusStatus")));
    if (!bound) {
        FreeBus(binding);
        return false;
    }
    return true;
}

void FreeBus(BusBinding* binding)
{
    if (binding->module != NULL)
        FreeLibrary(binding->module);
    ZeroMemory(binding, sizeof *binding);
}

const char* FetchPayload(const BusBinding& bus, LPARAM dataWord, int* length)
{
    *length = 0;
    const char* bytes = bus.vGetp(dataWord, length);
    if (bytes == NULL || *length < 0)
        *length = 0;
    return bytes;
}

CounterValues ReadCounters(const BusBinding& bus)
{
    return ParseCounters(bus.vGetInfo(kInfoFurther));
}

LatestValue TakeLatest(const BusBinding& bus, UINT code, LPARAM dataWord)
{
    LatestValue message;
    MessageKind kind = ClassifyCode(code);
    const char* payload = NULL;
    int length = 0;
    if (kind != kValueMessage)
        payload = FetchPayload(bus, dataWord, &length);
    message.Set(kind, static_cast<int32_t>(static_cast<uint32_t>(static_cast<uintptr_t>(dataWord))), payload, length);
    return message;
}

int BusStatus(const BusBinding& bus)
{
    return bus.velkBusStatus != NULL ? bus.velkBusStatus() : kVelkOk;
}

std::string BusNameForTitle()
{
    char bus[256];
    DWORD length = GetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, bus, sizeof bus);
    return length > 0 && length < sizeof bus ? std::string(bus, length) : std::string(VELK_DEFAULT_BUS_NAME);
}
