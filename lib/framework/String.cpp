#include "framework/String.h"
#include "framework/AfxHelpers.h"
#include "common/FormatText.h"

#include <stdarg.h>
#include <string.h>

CString& CString::operator=(const char* text)
{
    m_text = text ? text : "";
    m_wideOriginal.clear();
    return *this;
}

CString& CString::operator+=(const char* text)
{
    if (text)
        m_text += text;
    m_wideOriginal.clear();
    return *this;
}

CString& CString::operator+=(char ch)
{
    m_text += ch;
    m_wideOriginal.clear();
    return *this;
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    m_text = FormatTextV(format, args);
    va_end(args);
    m_wideOriginal.clear();
}

void CString::Empty()
{
    m_text.clear();
    m_wideOriginal.clear();
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength));
    m_wideOriginal.clear();
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(strlen(m_text.c_str()));
    if (newLength <= GetLength())
        m_text.resize(static_cast<size_t>(newLength));
}

BOOL CString::LoadString(UINT id)
{
    Empty();
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE((id >> 4) + 1), RT_STRING);
    const wchar_t* resource = nullptr;
    // A zero buffer size asks for a read-only pointer into the resource itself.
    int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || resource == nullptr)
        return FALSE;
    bool lossy = false;
    m_text = AfxNarrowFromWide(resource, static_cast<size_t>(length), &lossy);
    if (lossy)
        m_wideOriginal.assign(resource, static_cast<size_t>(length));
    return TRUE;
}

std::wstring AfxWideFromNarrow(const char* text)
{
    if (text == nullptr || *text == '\0')
        return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

std::string AfxNarrowFromWide(const wchar_t* text, size_t length, bool* lossy)
{
    if (lossy)
        *lossy = false;
    if (text == nullptr || length == 0)
        return std::string();
    int wideLength = static_cast<int>(length);
    int size = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    BOOL usedDefault = FALSE;
    // UTF-8 as the system code page holds every character and refuses the flag.
    BOOL* usedDefaultOut = GetACP() == CP_UTF8 ? nullptr : &usedDefault;
    WideCharToMultiByte(CP_ACP, 0, text, wideLength, &narrow[0], size, nullptr, usedDefaultOut);
    if (lossy)
        *lossy = usedDefault != FALSE;
    return narrow;
}
