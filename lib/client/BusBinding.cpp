#include "client/BusBinding.h"
#include "client/BusNameArgument.h"

#include "windows/LibraryLoad.h"
#include "common/Catalogue.h"
#include "common/FormatText.h"
#include "velk/VelkResults.h"

#include <stdio.h>

namespace {

template <typename Slot>
bool Bind(HMODULE module, const char* name, Slot* slot, std::string* missing)
{
    // Through the generic function type, which any function pointer converts to.
    typedef void (*AnyFunction)();
    *slot = reinterpret_cast<Slot>(reinterpret_cast<AnyFunction>(GetProcAddress(module, name)));
    if (*slot == nullptr && missing != nullptr && missing->empty())
        *missing = name;
    return *slot != nullptr;
}

} // namespace

bool BindEntryPoints(HMODULE module, BusBinding* binding, std::string* missing)
{
    if (missing != nullptr)
        missing->clear();
    binding->module = module;
    // Every name is looked up, even after one is missing.
    bool bound = Bind(module, "vPostData", &binding->vPostData, missing);
    bound = Bind(module, "vRegister", &binding->vRegister, missing) && bound;
    bound = Bind(module, "vUnregister", &binding->vUnregister, missing) && bound;
    bound = Bind(module, "vGetPublicVar", &binding->vGetPublicVar, missing) && bound;
    bound = Bind(module, "vSetPublicVar", &binding->vSetPublicVar, missing) && bound;
    bound = Bind(module, "vGetp", &binding->vGetp, missing) && bound;
    bound = Bind(module, "vGetInfo", &binding->vGetInfo, missing) && bound;
    return bound;
}

bool LoadBus(BusBinding* binding, std::string* error)
{
    *binding = BusBinding();
    error->clear();
    HMODULE module = LoadLibraryFromSafeFolders(L"velk.dll");
    if (module == NULL) {
        char text[64];
        snprintf(text, sizeof text, N_("cannot load velk.dll (error %lu)"), GetLastError());
        *error = text;
        return false;
    }
    std::string missing;
    if (!BindEntryPoints(module, binding, &missing)) {
        *error = FormatText(N_("velk.dll has no entry point %s"), missing.c_str());
        FreeBus(binding);
        return false;
    }
    return true;
}

void FreeBus(BusBinding* binding)
{
    if (binding->module != NULL)
        FreeLibrary(binding->module);
    *binding = BusBinding();
}

const char* FetchPayload(const BusBinding& bus, LPARAM dataWord, int* length, int* reported)
{
    int written = 0;
    const char* bytes = bus.vGetp(dataWord, &written);
    if (reported != nullptr)
        *reported = written;
    *length = bytes == NULL || written < 0 ? 0 : written;
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
    // Looked up at each call (about once a second): the binding holds the
    // seven entry points every bus library has, and no more.
    PFN_velkBusStatus status = reinterpret_cast<PFN_velkBusStatus>(
        reinterpret_cast<void (*)()>(GetProcAddress(bus.module, "velkBusStatus")));
    return status != NULL ? status() : kVelkOk;
}

bool AttachBus(const std::string& busName, BusBinding* binding, std::string* error, int* busStatus)
{
    if (busStatus != nullptr)
        *busStatus = kVelkOk;
    if (!busName.empty())
        SetBusName(busName);
    if (!LoadBus(binding, error))
        return false;
    const int status = BusStatus(*binding);
    if (status == kVelkOk)
        return true;
    *error = VelkResultText(status);
    if (busStatus != nullptr)
        *busStatus = status;
    FreeBus(binding);
    *binding = BusBinding();
    return false;
}

std::string BusNameForTitle()
{
    char bus[256];
    DWORD length = GetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, bus, sizeof bus);
    return length > 0 && length < sizeof bus ? std::string(bus, length) : std::string(VELK_DEFAULT_BUS_NAME);
}
