// A menu handle wrapper (the system menu is all the console uses).
#pragma once
#include "framework/String.h"

class CMenu {
public:
    CMenu() : m_hMenu(nullptr) {}
    explicit CMenu(HMENU menu) : m_hMenu(menu) {}

    // A wrapper of the handle that stays valid while the program runs
    // (wrappers are kept per handle; GUI thread only). Null for a null handle.
    static CMenu* FromHandle(HMENU menu);

    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, const char* newItem = nullptr);
    // Uses the wide text when the string came from a resource that the code
    // page could not hold, so the item shows right whatever the code page.
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem, const CString& newItem);

    HMENU GetSafeHmenu() const { return m_hMenu; }

    HMENU m_hMenu;
};
