// velkctl's hidden top-level window. Not message-only: peers' broadcasts
// reach top-level windows only, and the registry's liveness checks ask the
// window system about it like about any client.
#pragma once
#include <windows.h>

// Null when the window cannot be made. Told that the session ends
// (WM_ENDSESSION with a nonzero flag), it posts WM_QUIT to its thread.
HWND CreateClientWindow();
