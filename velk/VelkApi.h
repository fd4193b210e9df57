// The contract with the bus library velk.dll: seven C entry points exported
// under their undecorated names, and the window message it delivers.
#pragma once
#include <windows.h>

// Delivered to each subscribed window: wParam = message code, lParam = data word.
#define WM_BUS_MESSAGE (WM_USER + 0x75)

// Information selectors of vGetInfo.
enum BusInfoSelector {
    kInfoVersion   = 127,   // library version
    kInfoBuild     = 128,   // library build
    kInfoHandles   = 129,   // one line per registered window, starting with its handle in bare hex
    kInfoVariables = 130,   // public variables
    kInfoFurther   = 131,   // anything else the library has to say
};

// The data word is pointer-sized: a value, or a payload token for string and
// array messages.
typedef int (__cdecl *PFN_vPostData)(HWND hWnd, UINT code, LPARAM dataWord, int length);
typedef int (__cdecl *PFN_vRegister)(HWND hWnd, UINT mask, const char* clientName);
typedef int (__cdecl *PFN_vUnregister)(HWND hWnd);
typedef int (__cdecl *PFN_vGetPublicVar)(int index);
typedef int (__cdecl *PFN_vSetPublicVar)(int index, int value);
typedef const char* (__cdecl *PFN_vGetp)(LPARAM dataWord, int* length);
typedef const char* (__cdecl *PFN_vGetInfo)(int selector);
