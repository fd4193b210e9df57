// The seams the tests use to inject faults. Only velk_testable.dll, the
// tests' build of the library (VELK_TEST_SEAMS), exports them; the shipped
// velk.dll does not.
#pragma once
#include <windows.h>

#ifdef VELK_BUILDING_LIBRARY
#define VELK_TEST_SEAM __declspec(dllexport)
#else
#define VELK_TEST_SEAM __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum { kVelkTestDieHoldingLock = 1, kVelkTestDieHoldingMutex = 2 };

// Detaches and attaches again to the bus named by the environment now.
VELK_TEST_SEAM int __cdecl velkTestSelectBus(void);
// The next count posts of this process fail as a full receiver queue does.
VELK_TEST_SEAM void __cdecl velkTestFailPosts(int count);
// Takes the bus lock (kVelkTestDieHoldingLock, leaving the client count
// wrong as a registration cut short would) or the bus mutex
// (kVelkTestDieHoldingMutex) and terminates the process without releasing it.
VELK_TEST_SEAM void __cdecl velkTestDieHolding(int what);

#ifdef __cplusplus
}
#endif
