#include "framework/Gdi.h"
#include "framework/Wnd.h"

CPaintDC::CPaintDC(CWnd* wnd)
    : m_ps(), m_hWnd(wnd->m_hWnd)
{
    m_hDC = BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    EndPaint(m_hWnd, &m_ps);
}

BOOL CBrush::CreateSolidBrush(COLORREF color)
{
    DeleteObject();
    m_hObject = ::CreateSolidBrush(color);
    return m_hObject != nullptr;
}

BOOL CBrush::DeleteObject()
{
    if (m_hObject == nullptr)
        return FALSE;
    BOOL deleted = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return deleted;
}
