// WM_BUS_MESSAGE: one log line per delivered message, always.
#include "app/CorvaneDlg.h"
#include "protocol/LogLines.h"

#include <string>

namespace {

// The tick of the previous delivery, for the whole process. It starts at 0,
// so the first delta is the time since the system started.
DWORD g_lastMessageTick = 0;

// The length is shown as the library reported it, even a negative one.
const void* FetchFromBus(void* context, intptr_t dataWord, int32_t* length)
{
    int kept = 0;
    int reported = 0;
    const char* payload = FetchPayload(*static_cast<const BusBinding*>(context), static_cast<LPARAM>(dataWord),
                                       &kept, &reported);
    *length = reported;
    return payload;
}

} // namespace

LRESULT CCorvaneDlg::OnBusMessage(WPARAM wParam, LPARAM lParam)
{
    // First, and for every message whatever its kind; unsigned, so it wraps.
    DWORD now = GetTickCount();
    DWORD delta = now - g_lastMessageTick;
    g_lastMessageTick = now;

    // Without vGetp (the binding was released) a payload logs only its head.
    PayloadFetcher fetch = m_bus.vGetp != nullptr ? FetchFromBus : nullptr;
    std::string line = FormatIncomingLine(delta, static_cast<uint32_t>(wParam), lParam, fetch, &m_bus);
    m_logView.AddLine(line.c_str());
    return 0;
}
