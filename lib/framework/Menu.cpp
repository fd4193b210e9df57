#include "framework/Menu.h"

#include <map>

CMenu* CMenu::FromHandle(HMENU menu)
{
    if (menu == nullptr)
        return nullptr;
    static std::map<HMENU, CMenu> wrappers;
    CMenu& wrapper = wrappers[menu];
    wrapper.m_hMenu = menu;
    return &wrapper;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idNewItem, const char* newItem)
{
    return ::AppendMenuA(m_hMenu, flags, idNewItem, newItem);
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idNewItem, const CString& newItem)
{
    if (newItem.WideOriginal() != nullptr)
        return ::AppendMenuW(m_hMenu, flags, idNewItem, newItem.WideOriginal());
    return ::AppendMenuA(m_hMenu, flags, idNewItem, newItem.GetString());
}
