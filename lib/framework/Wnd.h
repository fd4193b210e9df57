// A window tied to its C++ object. The object is found from the handle
// through one window property; our window procedure (installed by
// subclassing) dispatches through the class's message table, and anything the
// table lacks goes to the window's previous procedure (Default).
#pragma once
#include "framework/CmdTarget.h"
#include "framework/String.h"

class CDataExchange;
class CDC;
class CMenu;

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    HWND m_hWnd;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object our window procedure serves for hWnd, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Ties the object to an existing window and routes its messages through
    // our procedure; the previous one becomes the default processing.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // Data exchange: TRUE copies controls into fields, FALSE fields into
    // controls. FALSE when a step failed (it has told the user).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Thin wrappers of the window functions.
    void SetWindowText(const char* text);
    CString GetWindowText() const;
    int GetWindowText(char* buffer, int bufferSize) const;   // at most bufferSize - 1 bytes, NUL-terminated
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL IsIconic() const;
    void GetClientRect(RECT* rect) const;
    void Invalidate(BOOL erase = TRUE);
    BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    HICON SetIcon(HICON icon, BOOL bigIcon);
    CMenu* GetSystemMenu(BOOL revert) const;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    // Table first, then the default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's previous procedure, or the system's default one.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();
    // After the last message of the window; the object is detached by then.
    virtual void PostNcDestroy();

    // Base handlers: default processing. Derived handlers call them.
    void OnPaint();
    void OnDestroy();
    void OnSysCommand(UINT nID, LPARAM lParam);
    HCURSOR OnQueryDragIcon();
    BOOL OnQueryEndSession();
    void OnEndSession(BOOL bEnding);
    BOOL OnEraseBkgnd(CDC* pDC);

    static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    BOOL Attach(HWND hWnd);
    void DetachFromWindow();
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    WNDPROC m_pfnSuper;
    CurrentMessage m_current;

    DECLARE_MESSAGE_MAP()
};
