// The narrow (code-page) string class of the dialogs.
#pragma once
#include <windows.h>
#include <string>

#if defined(__MINGW_PRINTF_FORMAT)
#define AFX_PRINTF_FORMAT(fmt, args) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, args)))
#elif defined(__GNUC__)
#define AFX_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define AFX_PRINTF_FORMAT(fmt, args)
#endif

class CString {
public:
    CString() {}
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const std::string& text) : m_text(text) {}

    CString& operator=(const char* text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    // printf-style, any length.
    void Format(const char* format, ...) AFX_PRINTF_FORMAT(2, 3);

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty();
    const char* GetString() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    // Room for at least minLength bytes; ReleaseBuffer(-1) takes the text up
    // to its NUL.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    // String resource, converted to the system code page. When the code page
    // cannot hold every character, the UTF-16 original is kept beside the
    // narrow text so that a caller with a wide API can still show it right.
    BOOL LoadString(UINT id);
    const wchar_t* WideOriginal() const { return m_wideOriginal.empty() ? nullptr : m_wideOriginal.c_str(); }

private:
    std::string m_text;
    std::wstring m_wideOriginal;   // only after a lossy LoadString
};

inline bool operator==(const CString& a, const char* b) { return a.str() == (b ? b : ""); }
inline bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
inline bool operator!=(const CString& a, const char* b) { return !(a == b); }

// Code page <-> UTF-16 of the system code page (CP_ACP).
std::wstring AfxWideFromNarrow(const char* text);
std::string AfxNarrowFromWide(const wchar_t* text, size_t length, bool* lossy = nullptr);
