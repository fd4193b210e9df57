#include "framework/CmdTarget.h"

const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id)
{
    for (; map != nullptr; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->handler != nullptr; ++entry) {
            if (entry->message != message)
                continue;
            // Commands and notifications match by control id and code too.
            if ((message != WM_COMMAND && message != WM_NOTIFY) || (entry->code == code && entry->id == id))
                return entry;
        }
    }
    return nullptr;
}

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, nullptr } };
    static const AFX_MSGMAP messageMap = { nullptr, &entries[0] };
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

BOOL CCmdTarget::DispatchFromTable(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const AFX_MSGMAP_ENTRY* entry = AfxFindMessageEntry(GetMessageMap(), message, code, id);
    if (entry == nullptr)
        return FALSE;
    *result = entry->handler(this, wParam, lParam);
    return TRUE;
}
