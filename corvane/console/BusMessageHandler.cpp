// WM_BUS_MESSAGE: one log line per delivered message, always.
#include "app/CorvaneDlg.h"
#include "protocol/LogLines.h"

#include <string>

namespace {

// The tick of the previous delivery, for the whole process. It starts at 0,
// so the first delta is the time since the system started.
DWORD g_lastMessageTick = 0;

const void* FetchFromBus(void* context, intptr_t dataWord, int32_t* length)
{
    PFN_vGetp getp = *static_cast<const PFN_vGetp*>(context);
    int reported = 0;
    const char* payload = getp(static_cast<LPARAM>(dataWord), &reported);
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
    PayloadFetcher fetch = m_pfnGetp != nullptr ? FetchFromBus : nullptr;
    std::string line = FormatIncomingLine(delta, static_cast<uint32_t>(wParam), lParam, fetch, &m_pfnGetp);
    m_logView.AddLine(line.c_str());
    return 0;
}
