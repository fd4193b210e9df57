#include "windows/StopSignal.h"

namespace {

// The system ends the process a few seconds after a close event; the
// handler waits for the command a little less than that.
const DWORD kCloseGraceMs = 4000;

volatile LONG g_stopRequested;
volatile LONG g_userStop;
HANDLE g_stopEvent;
HANDLE g_handledEvent;

BOOL WINAPI OnControlEvent(DWORD event)
{
    InterlockedExchange(&g_userStop, 1);
    InterlockedExchange(&g_stopRequested, 1);
    SetEvent(g_stopEvent);
    switch (event) {
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        WaitForSingleObject(g_handledEvent, kCloseGraceMs);
        return TRUE;
    default:
        return TRUE;
    }
}

} // namespace

void CatchStopRequests()
{
    if (g_stopEvent == NULL) {
        g_stopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
        g_handledEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    }
    SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

bool StopRequested()
{
    return InterlockedCompareExchange(&g_stopRequested, 0, 0) != 0;
}

bool StopRequestedByUser()
{
    return InterlockedCompareExchange(&g_userStop, 0, 0) != 0;
}

void RequestStop()
{
    InterlockedExchange(&g_stopRequested, 1);
    if (g_stopEvent != NULL)
        SetEvent(g_stopEvent);
}

HANDLE StopEvent()
{
    return g_stopEvent;
}

void StopHandled()
{
    if (g_handledEvent != NULL)
        SetEvent(g_handledEvent);
}
