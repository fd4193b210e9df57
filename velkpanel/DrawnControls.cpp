#include "velkpanel/DrawnControls.h"

#include <algorithm>

namespace {

const UINT kLine = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;

void Text(HDC dc, const std::wstring& text, RECT rect, UINT format, COLORREF colour)
{
    SetTextColor(dc, colour);
    DrawTextW(dc, text.c_str(), -1, &rect, format);
}

// The field of an edit box or drop-down: sunken edge, window colour inside;
// what is left inside the edge.
RECT SunkenField(HDC dc, const RECT& rect)
{
    RECT inside = rect;
    DrawEdge(dc, &inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillRect(dc, &inside, GetSysColorBrush(COLOR_WINDOW));
    return inside;
}

} // namespace

COLORREF RgbColour(uint32_t rgb)
{
    return RGB((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
}

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

void DrawTrackbar(HDC dc, const RECT& channel, const RECT& thumb)
{
    RECT groove = channel, knob = thumb;
    DrawEdge(dc, &groove, EDGE_SUNKEN, BF_RECT);
    FillRect(dc, &knob, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &knob, EDGE_RAISED, BF_RECT);
}

void DrawEditBox(HDC dc, const RECT& rect, const std::wstring& text, bool spin)
{
    RECT inside = SunkenField(dc, rect);
    if (spin) {
        // UDS_ALIGNRIGHT: the up-down takes the box's right end.
        const int width = GetSystemMetrics(SM_CXVSCROLL);
        const int middle = (rect.top + rect.bottom) / 2;
        RECT up = { rect.right - width, rect.top, rect.right, middle };
        RECT down = { rect.right - width, middle, rect.right, rect.bottom };
        DrawFrameControl(dc, &up, DFC_SCROLL, DFCS_SCROLLUP);
        DrawFrameControl(dc, &down, DFC_SCROLL, DFCS_SCROLLDOWN);
        inside.right = up.left;
    }
    inside.left += 2;
    Text(dc, text, inside, kLine & ~DT_END_ELLIPSIS, GetSysColor(COLOR_WINDOWTEXT));
}

void DrawDropDown(HDC dc, const RECT& rect, const std::wstring& text)
{
    RECT inside = SunkenField(dc, rect);
    RECT arrow = inside;
    arrow.left = std::max(inside.left, inside.right - GetSystemMetrics(SM_CXVSCROLL));
    DrawFrameControl(dc, &arrow, DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
    inside.right = arrow.left;
    inside.left += 2;
    Text(dc, text, inside, kLine, GetSysColor(COLOR_WINDOWTEXT));
}

void DrawCheckBox(HDC dc, const RECT& rect, const std::wstring& text, bool checked)
{
    const int side = std::min<int>(13, rect.bottom - rect.top);
    const int top = (rect.top + rect.bottom - side) / 2;
    RECT box = { rect.left, top, rect.left + side, top + side };
    DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | (checked ? DFCS_CHECKED : 0));
    RECT caption = rect;
    caption.left = box.right + 4;
    Text(dc, text, caption, kLine, GetSysColor(COLOR_BTNTEXT));
}

void DrawPushButton(HDC dc, const RECT& rect, const std::wstring& text, bool pushed)
{
    RECT face = rect;
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    Text(dc, text, face, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS, GetSysColor(COLOR_BTNTEXT));
}
