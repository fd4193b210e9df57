#include "windows/WideText.h"

#include <windows.h>

std::wstring WideFromNarrow(const char* text, size_t length, unsigned codePage, bool strict, bool* ok)
{
    if (ok != nullptr)
        *ok = true;
    if (text == nullptr || length == 0)
        return std::wstring();
    if (length > 0x7FFFFFFF) {
        if (ok != nullptr)
            *ok = false;
        return std::wstring();
    }
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int bytes = static_cast<int>(length);
    int units = MultiByteToWideChar(codePage, flags, text, bytes, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units <= 0 || MultiByteToWideChar(codePage, flags, text, bytes, &wide[0], units) != units) {
        if (ok != nullptr)
            *ok = false;
        return std::wstring();
    }
    return wide;
}

std::string NarrowFromWide(const wchar_t* text, size_t length, unsigned codePage, bool noBestFit, bool* lossy)
{
    if (lossy != nullptr)
        *lossy = false;
    if (text == nullptr || length == 0 || length > 0x7FFFFFFF)
        return std::string();
    const int units = static_cast<int>(length);
    const DWORD flags = noBestFit ? WC_NO_BEST_FIT_CHARS : 0;
    // UTF-8 holds every character and refuses the default-character flag.
    const bool utf8 = codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8);
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int size = WideCharToMultiByte(codePage, flags, text, units, nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, flags, text, units, &narrow[0], size, nullptr, usedDefaultOut);
    if (lossy != nullptr)
        *lossy = usedDefault != FALSE;
    return narrow;
}
