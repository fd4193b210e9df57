// velkctl's binding to velk.dll, loaded at run time as the console loads it.
#pragma once
#include <windows.h>

#include "bus/VelkApi.h"
#include "velk/VelkLibrary.h"

struct BusBinding {
    HMODULE module;
    PFN_vPostData vPostData;
    PFN_vRegister vRegister;
    PFN_vUnregister vUnregister;
    PFN_vGetPublicVar vGetPublicVar;
    PFN_vSetPublicVar vSetPublicVar;
    PFN_vGetp vGetp;
    PFN_vGetInfo vGetInfo;
    PFN_velkBusStatus velkBusStatus;   // our library's extras; absent from others
};

// Loads the library beside velkctl (or by the platform's search) and binds
// the seven entry points; false with a message on stderr when it cannot.
bool LoadBus(BusBinding* binding);
void FreeBus(BusBinding* binding);
