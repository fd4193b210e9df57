#include "velkctl/BusBinding.h"

#include <stdio.h>

namespace {

template <typename Entry>
bool Bind(HMODULE module, const char* name, Entry* slot)
{
    *slot = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (*slot == NULL)
        fprintf(stderr, "velkctl: velk.dll has no entry point %s\n", name);
    return *slot != NULL;
}

} // namespace

bool LoadBus(BusBinding* binding)
{
    ZeroMemory(binding, sizeof *binding);
    binding->module = LoadLibraryA("velk.dll");
    if (binding->module == NULL) {
        fprintf(stderr, "velkctl: cannot load velk.dll (error %lu)\n", GetLastError());
        return false;
    }
    HMODULE module = binding->module;
    bool bound = Bind(module, "vPostData", &binding->vPostData);
    bound = Bind(module, "vRegister", &binding->vRegister) && bound;
    bound = Bind(module, "vUnregister", &binding->vUnregister) && bound;
    bound = Bind(module, "vGetPublicVar", &binding->vGetPublicVar) && bound;
    bound = Bind(module, "vSetPublicVar", &binding->vSetPublicVar) && bound;
    bound = Bind(module, "vGetp", &binding->vGetp) && bound;
    bound = Bind(module, "vGetInfo", &binding->vGetInfo) && bound;
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
