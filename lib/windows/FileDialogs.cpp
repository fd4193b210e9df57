#include "windows/FileDialogs.h"

#include <commdlg.h>
#include <wchar.h>

std::vector<std::wstring> AskOpenPaths(HWND owner, const wchar_t* filter, bool multiple)
{
    std::vector<wchar_t> buffer(32768, L'\0');
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                   (multiple ? OFN_ALLOWMULTISELECT | OFN_EXPLORER : 0);
    std::vector<std::wstring> paths;
    if (!GetOpenFileNameW(&dialog))
        return paths;
    // One path, or the folder and then each name, NUL-separated.
    const std::wstring first = buffer.data();
    const wchar_t* next = buffer.data() + first.size() + 1;
    if (!multiple || *next == L'\0') {
        paths.push_back(first);
        return paths;
    }
    for (; *next != L'\0'; next += wcslen(next) + 1)
        paths.push_back(first + L"\\" + next);
    return paths;
}

std::wstring AskSavePath(HWND owner, const wchar_t* filter, const wchar_t* extension, const std::wstring& suggested)
{
    wchar_t path[MAX_PATH];
    lstrcpynW(path, suggested.c_str(), MAX_PATH);
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = extension;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    return GetSaveFileNameW(&dialog) ? std::wstring(path) : std::wstring();
}
