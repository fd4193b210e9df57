// velkpanel's calls into the bus library, in one place: registering its
// window, taking a message that arrived (a group's message goes out through
// PostRecordedMessage, client/ReceiveLoop.h).
#pragma once
#include <stdint.h>

#include <windows.h>

#include "client/BusBinding.h"
#include "formats/RecordLine.h"

// Registers window as "velkpanel" for mask's types, without its own posts
// coming back (a panel shows what others send). The library's result.
int RegisterPanel(const BusBinding& bus, HWND window, uint32_t mask);
void UnregisterPanel(const BusBinding& bus, HWND window);

// A message the bus delivered, its payload fetched now (expired when gone).
RecordedMessage TakeFromBus(const BusBinding& bus, UINT code, LPARAM dataWord, uint64_t micros);
