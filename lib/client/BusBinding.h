// The one binding of every program to velk.dll: the module handle and the
// seven entry points in the library's order. The console binds it by its
// own rule (corvane/bus/BusBinding.cpp: its dialog says "load dll error!"
// and looks at no bus state); velkctl, velkscope and velkpanel by AttachBus.
#pragma once
#include <string>

#include <windows.h>

#include "velk/VelkApi.h"
#include "protocol/BusCounters.h"
#include "protocol/LatestValue.h"
#include "velk/VelkLibrary.h"

struct BusBinding {
    HMODULE module = nullptr;
    PFN_vPostData vPostData = nullptr;
    PFN_vRegister vRegister = nullptr;
    PFN_vUnregister vUnregister = nullptr;
    PFN_vGetPublicVar vGetPublicVar = nullptr;
    PFN_vSetPublicVar vSetPublicVar = nullptr;
    PFN_vGetp vGetp = nullptr;
    PFN_vGetInfo vGetInfo = nullptr;
};

// Looks up the seven entry points in module, every name even after one is
// missing, and stores module and each result in *binding. True when all
// seven were found; otherwise *missing (when given) names the first absent.
bool BindEntryPoints(HMODULE module, BusBinding* binding, std::string* missing = nullptr);

// Loads velk.dll from the program's folder or the system folder (never the
// working folder or PATH: windows/LibraryLoad.h) and binds the seven entry
// points; false with what went wrong in *error
// ("cannot load velk.dll (error 126)") when it cannot.
bool LoadBus(BusBinding* binding, std::string* error);
void FreeBus(BusBinding* binding);

// Whether the bus can be used now (kVelkOk, or what is wrong with it); a
// library without our extra entry point velkBusStatus is taken at its word.
// With ours the call also mends a block another process wrote over.
int BusStatus(const BusBinding& bus);

// How velkctl and the window programs start on the bus: names it (busName
// as the command line read --bus, through SetBusName; empty:
// %VELK_BUS_NAME% or the session's), loads velk.dll and checks the bus can
// be used. False with why in *error ("cannot load velk.dll (error 126)",
// or the bus's state, whose status goes to *busStatus when given; it stays
// kVelkOk when the library itself failed), *binding then empty.
bool AttachBus(const std::string& busName, BusBinding* binding, std::string* error, int* busStatus = nullptr);

// The bus a window title names: %VELK_BUS_NAME%, else the session's bus.
std::string BusNameForTitle();

// The payload of a string or array message, fetched now, since the bus
// keeps payloads only for a while: null (and *length 0) when it is gone.
// *reported, when given, gets the length exactly as the library wrote it,
// negative or beside a null address too: the console logs that one.
// Every program fetches payloads through this.
const char* FetchPayload(const BusBinding& bus, LPARAM dataWord, int* length, int* reported = nullptr);

// The bus's counters now (selector 131), by name; empty from a library
// that has none.
CounterValues ReadCounters(const BusBinding& bus);

// A received message as the live views keep it: its value, or its payload
// fetched now, since the bus keeps payloads only for a while.
LatestValue TakeLatest(const BusBinding& bus, UINT code, LPARAM dataWord);
