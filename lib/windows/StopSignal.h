// Ctrl+C, Ctrl+Break and closing the console ask velkctl to stop instead of
// killing it, so a command can close its file whole and print its summary.
#pragma once
#include <windows.h>

// Installs the console control handler; from then on the events above only
// set the stop request.
void CatchStopRequests();

bool StopRequested();
// Whether the stop came from the user (Ctrl+C, Ctrl+Break, a console close)
// rather than from RequestStop.
bool StopRequestedByUser();
// The command itself asks to stop, as Ctrl+C would (its output is gone, say).
void RequestStop();
// Signalled when a stop is requested; for waits.
HANDLE StopEvent();

// Tells a handler holding back a console close (the process ends when it
// returns) that the command has finished its files.
void StopHandled();
