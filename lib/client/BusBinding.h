// The binding of velkctl and velkscope to velk.dll, loaded at run time by
// the console's rule.
#pragma once
#include <string>

#include <windows.h>

#include "velk/VelkApi.h"
#include "protocol/BusCounters.h"
#include "protocol/LatestValue.h"
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

// Loads velk.dll from the program's folder or the system folder (never the
// working folder or PATH: windows/LibraryLoad.h) and binds the seven entry
// points; false with what went wrong in *error
// ("cannot load velk.dll (error 126)") when it cannot.
bool LoadBus(BusBinding* binding, std::string* error);
void FreeBus(BusBinding* binding);

// Whether the bus can be used now (kVelkOk, or what is wrong with it); a
// library without velkBusStatus is taken at its word. With ours the call
// also mends a block another process wrote over.
int BusStatus(const BusBinding& bus);

// The bus a window title names: %VELK_BUS_NAME%, else the session's bus.
std::string BusNameForTitle();

// The payload of a string or array message, fetched now, since the bus
// keeps payloads only for a while: null (and *length 0) when it is gone.
// Every client of ours fetches payloads through this.
const char* FetchPayload(const BusBinding& bus, LPARAM dataWord, int* length);

// The bus's counters now (selector 131), by name; empty from a library
// that has none.
CounterValues ReadCounters(const BusBinding& bus);

// A received message as the live views keep it: its value, or its payload
// fetched now, since the bus keeps payloads only for a while.
LatestValue TakeLatest(const BusBinding& bus, UINT code, LPARAM dataWord);
