#include "velkpanel/PanelBus.h"

#include "client/ReceiveLoop.h"
#include "velk/VelkLibrary.h"

int RegisterPanel(const BusBinding& bus, HWND window, uint32_t mask)
{
    return bus.vRegister(window, mask | VELK_MASK_NO_OWN_MESSAGES, "velkpanel");
}

void UnregisterPanel(const BusBinding& bus, HWND window)
{
    bus.vUnregister(window);
}

RecordedMessage TakeFromBus(const BusBinding& bus, UINT code, LPARAM dataWord, uint64_t micros)
{
    bool expired = false;
    RecordedMessage message = TakeMessage(bus, code, dataWord, micros, &expired);
    message.expired = expired;
    return message;
}
