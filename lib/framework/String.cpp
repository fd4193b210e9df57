#include "framework/String.h"
#include "windows/WideText.h"
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
    return text != nullptr ? WideFromNarrow(text, strlen(text), CP_ACP) : std::wstring();
}

std::string AfxNarrowFromWide(const wchar_t* text, size_t length, bool* lossy)
{
    return NarrowFromWide(text, length, CP_ACP, false, lossy);
}
