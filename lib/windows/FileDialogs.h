// The common file dialogs as the window programs use them: paths as UTF-16,
// so that any name the file system holds can be opened.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

// The open dialog; every file chosen (several when multiple), none when
// cancelled. filter: pairs of NUL-ended texts, as OPENFILENAME takes them.
std::vector<std::wstring> AskOpenPaths(HWND owner, const wchar_t* filter, bool multiple);

// The save dialog, suggesting suggested, adding extension to a name typed
// without one; empty when the user cancels.
std::wstring AskSavePath(HWND owner, const wchar_t* filter, const wchar_t* extension, const std::wstring& suggested);
