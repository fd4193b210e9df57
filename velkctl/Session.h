// velkctl session: the bus for scripts, a JSON request a line on standard
// input, answers and subscribed messages a JSON line each on standard output
// (docs/session.md). Timing is done here, on the clock that stamps the
// messages as they are taken off the queue, not in the script.
#pragma once
#include <windows.h>

#include "client/BusBinding.h"
#include "signals/SignalDatabase.h"

// signals may be empty: then requests name codes only. The exit status:
// kExitOk at the end of input or quit, once every pending request is
// answered (or after Ctrl+C); kExitIo when standard output is closed or
// input cannot be read; kExitRefused when the window cannot register.
int RunSession(const BusBinding& bus, HWND window, const SignalDatabase& signals);
