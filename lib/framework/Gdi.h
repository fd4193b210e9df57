// Device contexts and brushes.
#pragma once
#include <windows.h>

class CWnd;

// A device context the object does not own (see CPaintDC for one it does).
class CDC {
public:
    explicit CDC(HDC hDC = nullptr) : m_hDC(hDC) {}
    virtual ~CDC() {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC;
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    int FillRect(const RECT* rect, HBRUSH brush) { return ::FillRect(m_hDC, rect, brush); }
    BOOL TextOut(int x, int y, const char* text, int length) { return ::TextOutA(m_hDC, x, y, text, length); }
    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
};

// BeginPaint in the constructor, EndPaint in the destructor.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

// An owned solid brush.
class CBrush {
public:
    CBrush() : m_hObject(nullptr) {}
    explicit CBrush(COLORREF color) : m_hObject(::CreateSolidBrush(color)) {}
    ~CBrush() { DeleteObject(); }
    CBrush(const CBrush&) = delete;
    CBrush& operator=(const CBrush&) = delete;

    BOOL CreateSolidBrush(COLORREF color);
    BOOL DeleteObject();
    operator HBRUSH() const { return m_hObject; }

    HBRUSH m_hObject;
};
