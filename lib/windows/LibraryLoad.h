// The one way our programs load a library: the console, velkctl and
// velkscope all find velk.dll through it.
#pragma once
#include <windows.h>

// A bare file name ("velk.dll") is looked for only in the program's folder
// and the system folder, never in the current directory or along PATH, so a
// file planted there cannot be loaded in its place. A name with a folder in
// it is loaded from there. No error boxes from the system; GetLastError
// tells why it failed.
HMODULE LoadLibraryFromSafeFolders(const wchar_t* fileName);
