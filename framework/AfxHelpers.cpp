#include "framework/AfxHelpers.h"
#include "framework/String.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <string>

namespace {

HWND MessageBoxOwner()
{
    HWND owner = GetActiveWindow();
    if (owner == nullptr) {
        CWinApp* app = AfxGetApp();
        if (app != nullptr && app->m_pMainWnd != nullptr)
            owner = app->m_pMainWnd->GetSafeHwnd();
    }
    return owner;
}

bool IsBareFileName(const wchar_t* name)
{
    for (; *name != L'\0'; ++name) {
        if (*name == L'\\' || *name == L'/' || *name == L':')
            return false;
    }
    return true;
}

// The folder of this program, with a trailing backslash.
std::wstring ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(folder, length) + L"\\";
}

HMODULE LoadFromSafeFolders(const std::wstring& name)
{
    HMODULE module = LoadLibraryExW(name.c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    // A system without the search flags: name the file in each folder ourselves.
    const std::wstring folders[] = { ProgramFolder(), SystemFolder() };
    for (const std::wstring& folder : folders) {
        if (folder.empty())
            continue;
        module = LoadLibraryExW((folder + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module != nullptr)
            return module;
    }
    return nullptr;
}

} // namespace

int AfxMessageBox(const char* text, UINT type, UINT helpId)
{
    return AfxMessageBox(AfxWideFromNarrow(text).c_str(), type, helpId);
}

int AfxMessageBox(const wchar_t* text, UINT type, UINT /*helpId: there is no help content*/)
{
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    CWinApp* app = AfxGetApp();
    const wchar_t* caption = app != nullptr ? app->AppNameW() : L"";
    return MessageBoxW(MessageBoxOwner(), text ? text : L"", caption, type);
}

HINSTANCE AfxLoadLibrary(const char* fileName)
{
    if (fileName == nullptr || *fileName == '\0')
        return nullptr;
    std::wstring name = AfxWideFromNarrow(fileName);
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE module = IsBareFileName(name.c_str())
        ? LoadFromSafeFolders(name)
        : LoadLibraryExW(name.c_str(), nullptr, 0);
    DWORD error = GetLastError();
    SetThreadErrorMode(oldMode, nullptr);
    SetLastError(error);
    return module;
}

BOOL AfxFreeLibrary(HINSTANCE module)
{
    return module != nullptr ? FreeLibrary(module) : FALSE;
}

HINSTANCE AfxFindResourceHandle(LPCTSTR /*name*/, LPCTSTR /*type*/)
{
    // All resources live in the program itself.
    return GetModuleHandleW(nullptr);
}

void AfxReportEscapedException(const char* where)
{
    std::string text = "corvane: an exception escaped ";
    text += where ? where : "a handler";
    text += "\n";
    OutputDebugStringA(text.c_str());
}
