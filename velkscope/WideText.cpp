#include "velkscope/WideText.h"

#include <windows.h>

std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = static_cast<int>(text.size());
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &wide[0], units);
    return wide;
}

std::string Utf8FromWide(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

bool SystemPathFromWide(const std::wstring& path, std::string* narrow)
{
    narrow->clear();
    if (path.empty())
        return true;
    const int length = static_cast<int>(path.size());
    BOOL lossy = FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), length, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy)
        return false;
    narrow->assign(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), length, &(*narrow)[0], bytes, nullptr, &lossy);
    return !lossy;
}
