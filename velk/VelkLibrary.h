// What velk.dll offers beyond the seven entry points of the contract
// (velk/VelkApi.h): one extra export and one extra information text, for
// velkctl. The tests' seams are in velk/TestSeams.h, exported only by their
// build of the library.
#pragma once
#include <windows.h>

#include "velk/VelkResults.h"

// The environment variable naming the bus; unset or empty means the default
// bus of the desktop session. Tests use it to run isolated buses side by side.
// Read wide: a name the system code page cannot hold exactly is refused.
#define VELK_BUS_NAME_VARIABLE "VELK_BUS_NAME"
#define VELK_BUS_NAME_VARIABLE_W L"VELK_BUS_NAME"
#define VELK_DEFAULT_BUS_NAME  "VelkBus"

// A bit of vRegister's mask, beside the type bits, that this library
// understands: the window is not delivered the messages it posts itself (as a
// CAN socket without "receive own messages"). Other windows still get them,
// and a message posted by any other window still reaches it. A bridge
// between buses sets it so that what it posts is never sent back out.
#define VELK_MASK_NO_OWN_MESSAGES 0x01000000u

// vGetInfo selector of this library only: in decimal, how many processes have
// the bus open, the caller included; empty when that is unknown (and from any
// other library). The bus and its variables end with the last of them.
#define VELK_INFO_ATTACHED_PROCESSES 132

#ifdef __cplusplus
extern "C" {
#endif

// Attaches if not yet attached and says whether the bus is usable.
typedef int (__cdecl *PFN_velkBusStatus)(void);

#ifndef VELK_BUILDING_LIBRARY
// For programs that link the import library rather than load it.
__declspec(dllimport) int __cdecl vPostData(HWND hWnd, UINT code, LPARAM dataWord, int length);
__declspec(dllimport) int __cdecl vRegister(HWND hWnd, UINT mask, const char* clientName);
__declspec(dllimport) int __cdecl vUnregister(HWND hWnd);
__declspec(dllimport) int __cdecl vGetPublicVar(int index);
__declspec(dllimport) int __cdecl vSetPublicVar(int index, int value);
__declspec(dllimport) const char* __cdecl vGetp(LPARAM dataWord, int* length);
__declspec(dllimport) const char* __cdecl vGetInfo(int selector);

__declspec(dllimport) int __cdecl velkBusStatus(void);
#endif

#ifdef __cplusplus
}
#endif
