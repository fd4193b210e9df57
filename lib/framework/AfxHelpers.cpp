#include "framework/AfxHelpers.h"
#include "framework/String.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "windows/LibraryLoad.h"

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
    return LoadLibraryFromSafeFolders(AfxWideFromNarrow(fileName).c_str());
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
