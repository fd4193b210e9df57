#include "velkpanel/PanelPage.h"

#include <algorithm>

namespace {

const wchar_t kPageClass[] = L"VelkPanelPage";

bool RegisterPageClass()
{
    WNDCLASSW page;
    ZeroMemory(&page, sizeof page);
    page.lpfnWndProc = DefWindowProcW;
    page.hInstance = GetModuleHandleW(nullptr);
    page.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));   // IDC_ARROW
    page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    page.lpszClassName = kPageClass;
    return RegisterClassW(&page) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

bool CPanelPage::Create(HWND dialog, int id, PagePainter* painter, PageInput* input)
{
    m_painter = painter;
    m_input = input;
    if (!RegisterPageClass())
        return false;
    HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_VSCROLL | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (page == nullptr)
        return false;
    if (!SubclassWindow(page)) {
        DestroyWindow(page);
        return false;
    }
    return true;
}

int CPanelPage::PageHeight() const
{
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    return client.bottom;
}

void CPanelPage::SetContentHeight(int pixels)
{
    m_contentHeight = pixels;
    SCROLLINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = std::max(pixels - 1, 0);
    info.nPage = static_cast<UINT>(std::max(PageHeight(), 0));
    SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);
    ScrollTo(m_scrollY);
}

void CPanelPage::InvalidateContent(const RECT& content)
{
    RECT shown = content;
    OffsetRect(&shown, 0, -m_scrollY);
    InvalidateRect(m_hWnd, &shown, FALSE);
}

bool CPanelPage::InSight(const RECT& content) const
{
    int top = 0, bottom = 0;
    return Sight(&top, &bottom) && content.bottom > top && content.top < bottom;
}

bool CPanelPage::Sight(int* top, int* bottom) const
{
    *top = m_scrollY;
    *bottom = m_scrollY + PageHeight();
    return IsWindowVisible(m_hWnd) != FALSE;
}

void CPanelPage::Paint(HDC dc, const RECT& dirty)
{
    FillRect(dc, &dirty, GetSysColorBrush(COLOR_BTNFACE));
    if (m_painter != nullptr)
        m_painter->PaintPage(m_hWnd, dc, dirty, m_scrollY);
}

void CPanelPage::ScrollTo(int y)
{
    y = std::max(0, std::min(y, m_contentHeight - PageHeight()));
    if (y == m_scrollY)
        return;
    ScrollWindowEx(m_hWnd, 0, m_scrollY - y, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    m_scrollY = y;
    SetScrollPos(m_hWnd, SB_VERT, y, TRUE);
    if (m_painter != nullptr)
        m_painter->PageScrolled(m_hWnd);
}

void CPanelPage::ScrollIntoView(HWND child)
{
    if (child == nullptr || !IsChild(m_hWnd, child))
        return;
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    const int height = PageHeight();
    if (rect.top < 0)
        ScrollTo(m_scrollY + rect.top - 4);
    else if (rect.bottom > height)
        ScrollTo(m_scrollY + rect.bottom - height + 4);
}

LRESULT CPanelPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_VSCROLL:
        if (lParam == 0) {
            // The page's own scroll bar; a control's (an up-down) goes on below.
            SCROLLINFO info;
            ZeroMemory(&info, sizeof info);
            info.cbSize = sizeof info;
            info.fMask = SIF_ALL;
            GetScrollInfo(m_hWnd, SB_VERT, &info);
            const int line = 20, page = static_cast<int>(info.nPage);
            int y = m_scrollY;
            switch (LOWORD(wParam)) {
            case SB_LINEUP: y -= line; break;
            case SB_LINEDOWN: y += line; break;
            case SB_PAGEUP: y -= page; break;
            case SB_PAGEDOWN: y += page; break;
            case SB_THUMBTRACK: case SB_THUMBPOSITION: y = info.nTrackPos; break;
            case SB_TOP: y = 0; break;
            case SB_BOTTOM: y = m_contentHeight; break;
            default: break;
            }
            ScrollTo(y);
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        if (m_painter != nullptr) {
            const POINT point = { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
            m_painter->PageClicked(m_hWnd, point, wParam);
        }
        return 0;
    case WM_MOUSEWHEEL:
        ScrollTo(m_scrollY - GET_WHEEL_DELTA_WPARAM(wParam) * 60 / WHEEL_DELTA);
        return 0;
    case WM_SIZE:
        SetContentHeight(m_contentHeight);
        return 0;
    case WM_ERASEBKGND:
        return 1;   // the paint fills it
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_hWnd, &paint);
        Paint(dc, paint.rcPaint);
        EndPaint(m_hWnd, &paint);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        Paint(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_COMMAND: case WM_NOTIFY: case WM_HSCROLL:
    case WM_CTLCOLORSTATIC: case WM_CTLCOLOREDIT: case WM_CTLCOLORBTN: {
        LRESULT result = 0;
        if (m_input != nullptr && m_input->ChildNotified(message, wParam, lParam, &result))
            return result;
        return ::SendMessageW(GetParent(m_hWnd), message, wParam, lParam);
    }
    case WM_DRAWITEM:
        return ::SendMessageW(GetParent(m_hWnd), message, wParam, lParam);
    default:
        break;
    }
    if (message == WM_VSCROLL) {
        LRESULT result = 0;
        if (m_input != nullptr && m_input->ChildNotified(message, wParam, lParam, &result))
            return result;
        return ::SendMessageW(GetParent(m_hWnd), message, wParam, lParam);
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
