#include "velkpanel/PanelView.h"

#include <math.h>

#include <algorithm>

#include <commctrl.h>

#include "velkpanel/DrawnControls.h"
#include "windows/WideText.h"

// What the page draws: names, units, received values, lamps, bars, boxes,
// and each parked input as its window stands.

namespace {

const COLORREF kLampOff = RGB(0x70, 0x70, 0x70);
const COLORREF kBarFill = RGB(0x20, 0x60, 0xe0);
const UINT kTextFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;

// A thumb's left edge in a channel whose free width (its width less the
// thumb's) spans positions 0 to last, as a trackbar places it.
LONG ThumbOffset(LONG freeWidth, int position, int last)
{
    if (last <= 0 || position <= 0 || freeWidth <= 0)
        return 0;
    return static_cast<LONG>(static_cast<int64_t>(freeWidth) * std::min(position, last) / last);
}

bool Meets(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) != FALSE;
}

RECT Shifted(const RECT& rect, int scrollY)
{
    RECT shifted = rect;
    OffsetRect(&shifted, 0, -scrollY);
    return shifted;
}

} // namespace

void PanelView::PaintPage(HWND page, HDC dc, const RECT& dirty, int scrollY)
{
    const HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    size_t tab = 0;
    while (tab < pages_.size() && pages_[tab]->m_hWnd != page)
        ++tab;
    for (const Box& box : boxes_) {
        RECT frame = Shifted(box.drawn, scrollY);
        if (!Meets(frame, dirty))
            continue;
        // An etched frame, its caption over the top edge.
        SIZE caption = {};
        GetTextExtentPoint32W(dc, box.caption.c_str(), static_cast<int>(box.caption.size()), &caption);
        RECT edge = frame;
        edge.top += caption.cy / 2;
        DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
        RECT text = { frame.left + 6, frame.top, frame.left + 10 + caption.cx, frame.top + caption.cy };
        FillRect(dc, &text, GetSysColorBrush(COLOR_BTNFACE));
        SetTextColor(dc, box.mark.late ? kBeyondLimits : GetSysColor(COLOR_WINDOWTEXT));
        text.left += 2;
        DrawTextW(dc, box.caption.c_str(), -1, &text, kTextFormat);
        PaintBoxParts(dc, box, dirty, scrollY);
    }
    for (const Widget& widget : widgets_) {
        if (widget.tab == tab)
            PaintWidget(dc, widget, dirty, scrollY);
    }
    SelectObject(dc, oldFont);
}

void PanelView::PaintWidget(HDC dc, const Widget& widget, const RECT& dirty, int scrollY)
{
    RECT label = Shifted(widget.drawn[kPartLabel], scrollY), unit = Shifted(widget.drawn[kPartUnit], scrollY);
    RECT indicator = Shifted(widget.drawn[kPartIndicator], scrollY), gauge = Shifted(widget.drawn[kPartControl], scrollY);
    SetTextColor(dc, widget.mark.late ? kBeyondLimits : GetSysColor(COLOR_WINDOWTEXT));
    if (!widget.label.empty() && Meets(label, dirty))
        DrawTextW(dc, widget.label.c_str(), -1, &label, kTextFormat);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    if (!widget.unit.empty() && Meets(unit, dirty))
        DrawTextW(dc, widget.unit.c_str(), -1, &unit, kTextFormat);
    if (widget.definition->type == kWidgetValue && !widget.sending.empty() && Meets(gauge, dirty))
        DrawTextW(dc, widget.sending.c_str(), -1, &gauge, kTextFormat);
    if (widget.definition->type != kWidgetLamp && Meets(indicator, dirty)) {
        SetTextColor(dc, widget.colour);
        DrawTextW(dc, widget.shown.c_str(), -1, &indicator, kTextFormat);
    }
    if (!widget.inPlace)
        PaintInputs(dc, widget, dirty, scrollY);
    if (!Meets(gauge, dirty))
        return;
    if (widget.definition->type == kWidgetLamp) {
        const int side = std::min(gauge.right - gauge.left, gauge.bottom - gauge.top) - 2;
        HBRUSH fill = CreateSolidBrush(widget.lampOn ? RgbColour(widget.definition->rgb) : kLampOff);
        HGDIOBJ oldBrush = SelectObject(dc, fill);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        Ellipse(dc, gauge.left + 1, gauge.top + 1, gauge.left + 1 + side, gauge.top + 1 + side);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(fill);
    } else if (widget.definition->type == kWidgetBar) {
        // The received value's share of min..max, in its range's colour.
        FrameRect(dc, &gauge, GetSysColorBrush(COLOR_WINDOWFRAME));
        const PanelGroup& group = model_->Group(static_cast<size_t>(widget.group));
        if (!group.Heard() || widget.signal < 0 || static_cast<size_t>(widget.signal) >= group.Received().size())
            return;
        const DecodedSignal& received = group.Received()[static_cast<size_t>(widget.signal)];
        if (received.missing || !isfinite(received.physical))
            return;
        const double share = std::max(0.0, std::min(1.0, (received.physical - widget.definition->min) / (widget.definition->max - widget.definition->min)));
        RECT filled = { gauge.left + 1, gauge.top + 1, gauge.left + 1 + static_cast<LONG>(share * (gauge.right - gauge.left - 2)),
                        gauge.bottom - 1 };
        HBRUSH fill = CreateSolidBrush(widget.colour == GetSysColor(COLOR_WINDOWTEXT) ? kBarFill : widget.colour);
        FillRect(dc, &filled, fill);
        DeleteObject(fill);
    }
}

void PanelView::PaintInputs(HDC dc, const Widget& widget, const RECT& dirty, int scrollY)
{
    const RECT control = Shifted(widget.drawn[kPartControl], scrollY), edit = Shifted(widget.drawn[kPartEdit], scrollY);
    if (widget.edit != nullptr && Meets(edit, dirty)) {
        // What the user typed and left unsent stays in the window.
        DrawEditBox(dc, edit, widget.typed ? WindowText(widget.edit) : widget.editText, widget.definition->type == kWidgetSpin);
    }
    if (widget.control == nullptr || !Meets(control, dirty))
        return;
    switch (widget.definition->type) {
    case kWidgetSlider: {
        // The channel and the thumb's size where the parked trackbar has
        // them, from its own corner; the thumb at the position shown.
        RECT channel = {}, thumb = {};
        ::SendMessageW(widget.control, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        ::SendMessageW(widget.control, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        const LONG thumbWidth = thumb.right - thumb.left;
        OffsetRect(&thumb, channel.left + ThumbOffset(channel.right - channel.left - thumbWidth, widget.position,
                                                      widget.scale.last) - thumb.left, 0);
        OffsetRect(&channel, control.left, control.top);
        OffsetRect(&thumb, control.left, control.top);
        DrawTrackbar(dc, channel, thumb);
        break;
    }
    case kWidgetDropdown: {
        const std::vector<SignalEnumEntry>& names = widget.definition->signal->enums;
        const bool chosen = widget.choice >= 0 && static_cast<size_t>(widget.choice) < names.size();
        DrawDropDown(dc, control, chosen ? WideFromUtf8(names[static_cast<size_t>(widget.choice)].name) : std::wstring());
        break;
    }
    case kWidgetToggle:
        DrawCheckBox(dc, control, widget.controlText, widget.checked == 1);
        break;
    case kWidgetButton:
        DrawPushButton(dc, control, WindowText(widget.control), false);
        break;
    default:
        break;
    }
}

void PanelView::PaintBoxParts(HDC dc, const Box& box, const RECT& dirty, int scrollY)
{
    for (int part = kPartSend; part < kGroupIds; ++part) {
        const RECT place = Shifted(box.placed[part], scrollY);
        if (box.inPlace[part] || box.parts[part] == nullptr || !Meets(place, dirty))
            continue;
        const std::wstring text = WindowText(box.parts[part]);
        if (part == kPartSend)
            DrawPushButton(dc, place, text, false);
        else if (part == kPartCyclic)
            DrawCheckBox(dc, place, text, ::SendMessageW(box.parts[part], BM_GETCHECK, 0, 0) == BST_CHECKED);
        else
            DrawEditBox(dc, place, text, false);
    }
}

void PanelView::RedrawParked(const Widget& widget, WidgetPart part)
{
    if (!widget.inPlace)
        Redraw(widget, part);
}

void PanelView::RedrawParkedPart(size_t box, GroupPart part)
{
    if (!boxes_[box].inPlace[part])
        pages_[0]->InvalidateContent(boxes_[box].placed[part]);
}

void PanelView::Redraw(const Widget& widget, WidgetPart part)
{
    if (batching_)
        dirty_[widget.tab].push_back(widget.drawn[part]);
    else
        pages_[widget.tab]->InvalidateContent(widget.drawn[part]);
}
