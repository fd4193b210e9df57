// END_SESSION: tells every other registered window that the session ends.
#include "app/CorvaneDlg.h"
#include "protocol/HandleList.h"

#include <stdint.h>

#include <vector>

namespace {

// A window that does not answer costs at most this long, so a hung client
// cannot freeze the console; one that is known to be hung costs nothing.
const UINT kEndSessionWaitMs = 3000;

} // namespace

void CCorvaneDlg::OnBroadcastEndSession()
{
    if (m_bus.vGetInfo == nullptr)
        return;

    // The walk copies the list before anything else calls the library.
    const uint64_t ownHandle = reinterpret_cast<uintptr_t>(m_hWnd);
    std::vector<uint64_t> targets = EndSessionTargets(m_bus.vGetInfo(kInfoHandles), ownHandle, sizeof(HWND) * 8);
    for (uint64_t handle : targets) {
        HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
        // SMTO_NORMAL: as with a plain send, what is sent to us while we wait is
        // handled, so two consoles broadcasting at once do not wait on each other.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(target, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                            kEndSessionWaitMs, &ignored);
    }
    RefreshStatus();
}
