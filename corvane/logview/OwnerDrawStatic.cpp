#include "logview/OwnerDrawStatic.h"

#include <string.h>

namespace {

const UINT kRedrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
const COLORREF kBackground = RGB(255, 255, 255);

} // namespace

COwnerDrawStatic::COwnerDrawStatic()
{
}

COwnerDrawStatic::~COwnerDrawStatic()
{
}

BEGIN_MESSAGE_MAP(COwnerDrawStatic, CStatic)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

void COwnerDrawStatic::AddLine(const char* text)
{
    LogBand band = m_ring.Add(text);
    if (m_hWnd == nullptr)
        return;   // not attached yet: a null window would make RedrawWindow repaint the desktop

    RECT rect;
    GetClientRect(&rect);
    rect.top = band.top;
    rect.bottom = band.bottom;
    RedrawWindow(&rect, nullptr, kRedrawNow);
}

void COwnerDrawStatic::ClearLines()
{
    m_ring.Clear();
    if (m_hWnd == nullptr)
        return;

    RECT rect;
    GetClientRect(&rect);
    RedrawWindow(&rect, nullptr, kRedrawNow);
}

void COwnerDrawStatic::OnPaint()
{
    CPaintDC dc(this);
    PaintRows(&dc);
}

// All 40 rows every time; the paint DC clips them to what was invalidated.
// Default colours and background mode: black on white, opaque.
void COwnerDrawStatic::PaintRows(CDC* pDC)
{
    HFONT gridFont = m_gridFont.For(*pDC);
    HGDIOBJ oldFont = gridFont != nullptr ? pDC->SelectObject(gridFont) : nullptr;

    for (int row = 0; row < kLogRows; ++row) {
        int y = kLogRowPitch * row;
        char number[16];
        int numberLength = FormatRowNumber(m_ring.RowNumber(row), number);
        pDC->TextOut(0, y, number, numberLength);

        const char* line = m_ring.Row(row);
        int lineLength = static_cast<int>(strlen(line));
        if (lineLength > 0)
            pDC->TextOut(LineTextX(numberLength), y, line, lineLength);
    }

    if (oldFont != nullptr)
        pDC->SelectObject(oldFont);
}

BOOL COwnerDrawStatic::OnEraseBkgnd(CDC* pDC)
{
    RECT rect;
    GetClientRect(&rect);
    CBrush brush(kBackground);
    pDC->FillRect(&rect, brush);
    return CStatic::OnEraseBkgnd(pDC);   // the brush is released on the way out
}
