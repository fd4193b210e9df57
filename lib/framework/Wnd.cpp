#include "framework/Wnd.h"
#include "framework/AfxHelpers.h"
#include "framework/Gdi.h"
#include "framework/Menu.h"
#include "framework/WinApp.h"

namespace {

const wchar_t kObjectProperty[] = L"corvane.CWnd";

} // namespace

CWnd::CWnd()
    : m_hWnd(nullptr), m_pfnSuper(nullptr), m_current()
{
}

CWnd::~CWnd()
{
    // An object that dies before its window must not stay reachable from it.
    if (m_hWnd != nullptr && IsWindow(m_hWnd))
        DetachFromWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    return static_cast<CWnd*>(GetPropW(hWnd, kObjectProperty));
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    if (!SetPropW(hWnd, kObjectProperty, this))
        return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::AfxWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND control = parent != nullptr ? GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
    return control != nullptr && SubclassWindow(control);
}

void CWnd::DetachFromWindow()
{
    if (m_pfnSuper != nullptr &&
        GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CWnd::AfxWndProc))
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    RemovePropW(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
}

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandlePermanent(hWnd);
    if (wnd == nullptr)
        return DefWindowProcW(hWnd, message, wParam, lParam);

    CurrentMessage outer = wnd->m_current;
    wnd->m_current.message = message;
    wnd->m_current.wParam = wParam;
    wnd->m_current.lParam = lParam;
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        AfxReportEscapedException("a window message handler");
    }
    wnd->m_current = outer;

    if (message == WM_NCDESTROY && wnd->m_hWnd == hWnd) {
        wnd->DetachFromWindow();
        wnd->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    UINT code = 0;
    UINT id = 0;
    if (message == WM_COMMAND) {
        id = LOWORD(wParam);
        code = lParam != 0 ? HIWORD(wParam) : 0;   // menus and accelerators are plain commands
    } else if (message == WM_NOTIFY && lParam != 0) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        id = static_cast<UINT>(header->idFrom);
        code = header->code;
    }
    if (DispatchFromTable(message, code, id, wParam, lParam, result))
        return TRUE;
    // Commands nobody in the window handles go on to the application.
    CWinApp* app = AfxGetApp();
    return message == WM_COMMAND && app != nullptr &&
           app->DispatchFromTable(message, code, id, wParam, lParam, result);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

void CWnd::PostNcDestroy()
{
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

void CWnd::OnPaint() { Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
BOOL CWnd::OnQueryEndSession() { return static_cast<BOOL>(Default()); }
void CWnd::OnEndSession(BOOL) { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }

void CWnd::SetWindowText(const char* text)
{
    ::SetWindowTextA(m_hWnd, text ? text : "");
}

int CWnd::GetWindowText(char* buffer, int bufferSize) const
{
    if (buffer == nullptr || bufferSize <= 0)
        return 0;
    buffer[0] = '\0';
    return ::GetWindowTextA(m_hWnd, buffer, bufferSize);
}

CString CWnd::GetWindowText() const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    CString text;
    if (length > 0) {
        char* buffer = text.GetBuffer(length + 1);
        ::GetWindowTextA(m_hWnd, buffer, length + 1);
        text.ReleaseBuffer();
    }
    return text;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(RECT* rect) const
{
    ::GetClientRect(m_hWnd, rect);
}

void CWnd::Invalidate(BOOL erase)
{
    InvalidateRect(m_hWnd, nullptr, erase);
}

BOOL CWnd::RedrawWindow(const RECT* rect, HRGN region, UINT flags)
{
    return ::RedrawWindow(m_hWnd, rect, region, flags);
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon)
{
    return reinterpret_cast<HICON>(::SendMessageA(m_hWnd, WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL,
                                                reinterpret_cast<LPARAM>(icon)));
}

CMenu* CWnd::GetSystemMenu(BOOL revert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, revert));
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()
