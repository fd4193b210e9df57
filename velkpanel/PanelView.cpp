#include "velkpanel/PanelView.h"

#include <math.h>

#include <algorithm>

#include <commctrl.h>

#include "common/FormatText.h"
#include "signals/SignalText.h"
#include "velkpanel/DrawnControls.h"
#include "velkpanel/resource.h"
#include "windows/WideText.h"

namespace {

const COLORREF kBeyondLimits = RGB(0xe0, 0x20, 0x20);
const COLORREF kLampOff = RGB(0x70, 0x70, 0x70);
const COLORREF kBarFill = RGB(0x20, 0x60, 0xe0);
const int kComboListLines = 10;   // a drop-down's height includes its list
const UINT_PTR kSubclassId = 1;
const UINT kTextFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
const int kParkedOffset = 20000;   // pixels left of its place: a parked window, out of the page's sight

COLORREF Colour(uint32_t rgb)
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

// How long a box stays marked late after a gap of more than twice its period.
const int64_t kLateGapShownMicros = 1000000;

// The period a Cyclic box starts with: the message's, else none (empty) until one is typed.
std::string PeriodText(uint64_t micros)
{
    if (micros == 0)
        return std::string();
    if (micros % 1000000 == 0)
        return FormatText("%llus", static_cast<unsigned long long>(micros / 1000000));
    if (micros % 1000 == 0)
        return FormatText("%llums", static_cast<unsigned long long>(micros / 1000));
    return FormatText("%lluus", static_cast<unsigned long long>(micros));
}

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

// Enter in an edit box sends its value; the dialog would take it for its
// default button otherwise.
LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR view)
{
    switch (message) {
    case WM_GETDLGCODE:
        if (lParam != 0 && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN && wParam == VK_RETURN)
            return DLGC_WANTALLKEYS | DefSubclassProc(edit, message, wParam, lParam);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            reinterpret_cast<PanelView*>(view)->Commit(edit);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r')
            return 0;   // no beep
        break;
    default:
        break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

// A panel file's button sends one value as it goes down and another as it
// comes up, by mouse or by the space bar: both go through BM_SETSTATE.
LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR view)
{
    if (message == BM_SETSTATE)
        reinterpret_cast<PanelView*>(view)->Press(button, wParam != 0);
    return DefSubclassProc(button, message, wParam, lParam);
}

} // namespace

PanelView::PanelView(HWND dialog, PanelModel* model, PanelActions* actions, bool automatic)
    : dialog_(dialog), model_(model), actions_(actions), automatic_(automatic),
      font_(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)))
{
}

PanelView::~PanelView()
{
    for (auto& page : pages_) {
        if (page->m_hWnd != nullptr)
            DestroyWindow(page->m_hWnd);
    }
}

HWND PanelView::Make(size_t tab, int id, const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle)
{
    HWND window = CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                  pages_[tab]->m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (window != nullptr)
        ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return window;
}

bool PanelView::Build()
{
    const Panel& panel = model_->Definition();
    for (size_t tab = 0; tab < panel.tabs.size(); ++tab) {
        pages_.emplace_back(new CPanelPage);
        if (!pages_.back()->Create(dialog_, IDC_FIRST_PAGE + static_cast<int>(tab), this))
            return false;
        for (size_t i = 0; i < panel.tabs[tab].widgets.size(); ++i) {
            Widget widget;
            widget.definition = &panel.tabs[tab].widgets[i];
            widget.tab = tab;
            widget.group = model_->GroupOf(widget.definition->message);
            widget.signal = widget.group >= 0 && widget.definition->signal != nullptr
                          ? model_->Group(static_cast<size_t>(widget.group)).IndexOf(*widget.definition->signal) : -1;
            widgets_.push_back(widget);
        }
    }
    // Made in order, box by box on the automatic panel; Layout puts the boxes in Tab's order.
    size_t next = 0;
    while (next < widgets_.size()) {
        if (automatic_) {
            Box box;
            box.first = next;
            while (next < widgets_.size() && widgets_[next].group == widgets_[box.first].group)
                ++next;
            box.count = next - box.first;
            boxes_.push_back(box);
            if (!MakeBox(boxes_.size() - 1))
                return false;
            continue;
        }
        if (!MakeWidget(next++))
            return false;
    }
    ShowTab(0);
    return true;
}

bool PanelView::MakeBox(size_t index)
{
    Box& box = boxes_[index];
    const int id = IDC_FIRST_GROUP + static_cast<int>(index) * kGroupIds;
    const SignalMessage& message = *widgets_[box.first].definition->message;
    for (size_t i = box.first; i < box.first + box.count; ++i) {
        if (!MakeWidget(i))
            return false;
    }
    box.parts[kPartSend] = Make(0, id + kPartSend, L"BUTTON", L"发送 Send", BS_PUSHBUTTON | WS_TABSTOP);
    box.parts[kPartCyclic] = Make(0, id + kPartCyclic, L"BUTTON", L"周期 Cyclic", BS_AUTOCHECKBOX | WS_TABSTOP);
    box.parts[kPartPeriod] = Make(0, id + kPartPeriod, L"EDIT", WideFromUtf8(PeriodText(message.periodMicros)),
                                  ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    if (box.parts[kPartSend] == nullptr || box.parts[kPartCyclic] == nullptr || box.parts[kPartPeriod] == nullptr)
        return false;
    SetWindowSubclass(box.parts[kPartPeriod], EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

bool PanelView::MakeWidget(size_t index)
{
    Widget& widget = widgets_[index];
    const PanelWidget& definition = *widget.definition;
    const int id = IDC_FIRST_WIDGET + static_cast<int>(index) * kWidgetIds;
    const size_t tab = widget.tab;
    widget.label = WideFromUtf8(definition.label);
    widget.unit = definition.signal != nullptr ? WideFromUtf8(definition.signal->unit) : std::wstring();
    widget.shown = L"-";
    widget.colour = GetSysColor(COLOR_WINDOWTEXT);
    switch (definition.type) {
    case kWidgetSlider:
        MakeSliderScale(*definition.signal, &widget.scale);
        widget.control = Make(tab, id + kPartControl, TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP);
        if (widget.control != nullptr) {
            ::SendMessageW(widget.control, TBM_SETRANGEMIN, FALSE, 0);
            ::SendMessageW(widget.control, TBM_SETRANGEMAX, FALSE, widget.scale.last);
            ::SendMessageW(widget.control, TBM_SETLINESIZE, 0, 1);   // one raw count
            ::SendMessageW(widget.control, TBM_SETPAGESIZE, 0, std::max(1, widget.scale.last / 20));
        }
        widget.edit = Make(tab, id + kPartEdit, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
        break;
    case kWidgetSpin:
        widget.edit = Make(tab, id + kPartEdit, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
        widget.control = Make(tab, id + kPartControl, UPDOWN_CLASSW, L"", UDS_ALIGNRIGHT | UDS_ARROWKEYS);
        if (widget.control != nullptr) {
            ::SendMessageW(widget.control, UDM_SETBUDDY, reinterpret_cast<WPARAM>(widget.edit), 0);
            ::SendMessageW(widget.control, UDM_SETRANGE32, static_cast<WPARAM>(-1000000), 1000000);
        }
        break;
    case kWidgetDropdown:
        widget.control = Make(tab, id + kPartControl, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
        for (const SignalEnumEntry& entry : definition.signal->enums)
            ::SendMessageW(widget.control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(entry.name).c_str()));
        break;
    case kWidgetToggle: {
        widget.control = Make(tab, id + kPartControl, L"BUTTON", L"", BS_AUTOCHECKBOX | WS_TABSTOP);
        SignalRaw raw;
        std::string unused;
        if (EncodeSignalText(*definition.signal, definition.on, &raw, &unused))
            widget.onValue = raw.isFloat ? raw.real : static_cast<double>(raw.integer);
        break;
    }
    case kWidgetButton:
        widget.control = Make(tab, id + kPartControl, L"BUTTON", widget.label, BS_PUSHBUTTON | WS_TABSTOP);
        widget.label.clear();   // the button's caption
        if (widget.control != nullptr)
            SetWindowSubclass(widget.control, ButtonProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
        break;
    case kWidgetText:
        widget.edit = Make(tab, id + kPartEdit, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
        break;
    case kWidgetLamp: case kWidgetBar: case kWidgetValue:
        return true;   // drawn by the page
    }
    if (widget.edit != nullptr)
        SetWindowSubclass(widget.edit, EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    const bool needsEdit = definition.type == kWidgetSlider || definition.type == kWidgetSpin || definition.type == kWidgetText;
    return (widget.control != nullptr || definition.type == kWidgetText) && (widget.edit != nullptr || !needsEdit);
}

RECT PanelView::Pixels(const DluRect& rect) const
{
    RECT pixels = { rect.x, rect.y, rect.Right(), rect.Bottom() };
    MapDialogRect(dialog_, &pixels);
    return pixels;
}

void PanelView::Place(HDWP* batch, HWND window, const RECT& content, bool inPlace, int scrollY, int extraHeight)
{
    if (window == nullptr)
        return;
    const int x = content.left - (inPlace ? 0 : kParkedOffset), y = content.top - scrollY;
    const int width = content.right - content.left, height = content.bottom - content.top + extraHeight;
    if (batch == nullptr)
        SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    else if (*batch != nullptr)
        *batch = DeferWindowPos(*batch, window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PanelView::PlaceWidget(HDWP* batch, const Widget& widget, int scrollY)
{
    const RECT& control = widget.drawn[kPartControl];
    const int list = widget.definition->type == kWidgetDropdown ? (control.bottom - control.top) * kComboListLines : 0;
    Place(batch, widget.edit, widget.drawn[kPartEdit], widget.inPlace, scrollY);
    if (widget.definition->type != kWidgetSpin)
        Place(batch, widget.control, control, widget.inPlace, scrollY, list);
    else if (batch == nullptr)
        AlignSpin(widget);
}

void PanelView::AlignSpin(const Widget& widget)
{
    if (widget.definition->type == kWidgetSpin && widget.control != nullptr)
        ::SendMessageW(widget.control, UDM_SETBUDDY, reinterpret_cast<WPARAM>(widget.edit), 0);   // inside the edit's right end
}

void PanelView::LayoutWidget(HDWP* batch, Widget& widget, const DluRect& rect, bool twoLines, int scrollY)
{
    const WidgetCells cells = SplitWidget(widget.definition->type, rect, twoLines);
    widget.drawn[kPartLabel] = Pixels(cells.label);
    widget.drawn[kPartUnit] = Pixels(cells.unit);
    widget.drawn[kPartIndicator] = Pixels(cells.indicator);
    widget.drawn[kPartControl] = Pixels(cells.control);   // a lamp's or a bar's too
    widget.drawn[kPartEdit] = Pixels(cells.edit);
    PlaceWidget(batch, widget, scrollY);
}

void PanelView::Layout(const RECT& area)
{
    RECT unit = { 0, 0, 4, 8 };
    MapDialogRect(dialog_, &unit);
    const int width = area.right - area.left - GetSystemMetrics(SM_CXVSCROLL);
    const int widthDlu = std::max<int>(1, width * 4 / std::max<int>(unit.right, 1));
    const Panel& panel = model_->Definition();
    for (size_t tab = 0; tab < pages_.size(); ++tab) {
        CPanelPage& page = *pages_[tab];
        SetWindowPos(page.m_hWnd, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        const int scrollY = page.ScrollY();
        int heightDlu = 0;
        HDWP batch = BeginDeferWindowPos(static_cast<int>(widgets_.size() * 2 + boxes_.size() * 3 + 1));
        if (automatic_) {
            std::vector<size_t> rows;
            for (const Box& box : boxes_)
                rows.push_back(box.count);
            const std::vector<GroupLayout> layout = LayoutGroups(rows, widthDlu, &heightDlu);
            OrderTabs(ColumnOrder(layout));
            for (size_t b = 0; b < boxes_.size(); ++b) {
                Box& box = boxes_[b];
                box.drawn = Pixels(layout[b].box);
                for (size_t i = 0; i < box.count; ++i)
                    LayoutWidget(&batch, widgets_[box.first + i], layout[b].rows[i], false, scrollY);
                const FooterCells footer = SplitFooter(layout[b].footer);
                box.placed[kPartSend] = Pixels(footer.send);
                box.placed[kPartCyclic] = Pixels(footer.cyclic);
                box.placed[kPartPeriod] = Pixels(footer.period);
                for (int part = kPartSend; part < kGroupIds; ++part)
                    Place(&batch, box.parts[part], box.placed[part], box.inPlace[part], scrollY);
            }
        } else {
            const PanelTab& definition = panel.tabs[tab];
            for (Widget& widget : widgets_) {
                if (widget.tab == tab)
                    LayoutWidget(&batch, widget, GridCell(*widget.definition, definition.columns, widthDlu), true, scrollY);
            }
            heightDlu = GridHeight(definition.rows);
        }
        if (batch != nullptr)
            EndDeferWindowPos(batch);
        // A spin box's up-down goes inside its edit's right end once the edit stands where it goes.
        for (const Widget& widget : widgets_) {
            if (widget.tab == tab)
                AlignSpin(widget);
        }
        page.SetContentHeight(Pixels(DluRect{ 0, 0, 0, heightDlu }).bottom);
        InvalidateRect(page.m_hWnd, nullptr, FALSE);
    }
}

void PanelView::ShowTab(size_t tab)
{
    shownTab_ = tab < pages_.size() ? tab : 0;
    for (size_t i = 0; i < pages_.size(); ++i)
        ShowWindow(pages_[i]->m_hWnd, i == shownTab_ ? SW_SHOW : SW_HIDE);
    if (!pages_.empty())
        PageScrolled(pages_[shownTab_]->m_hWnd);
}

HWND PanelView::Control(size_t widget, WidgetPart part)
{
    if (widget >= widgets_.size())
        return nullptr;
    Widget& chosen = widgets_[widget];
    HWND window = part == kPartEdit ? chosen.edit : part == kPartControl ? chosen.control : nullptr;
    if (window != nullptr) {
        chosen.kept = true;
        SetInPlace(window, true);
    }
    return window;
}

std::wstring PanelView::Indicator(size_t widget) const
{
    return widget < widgets_.size() ? widgets_[widget].shown : std::wstring();
}

std::wstring PanelView::ReadOut(size_t widget) const
{
    return widget < widgets_.size() ? widgets_[widget].sending : std::wstring();
}

HWND PanelView::GroupControl(size_t box, GroupPart part)
{
    if (box >= boxes_.size() || boxes_[box].parts[part] == nullptr)
        return nullptr;
    boxes_[box].kept[part] = true;
    SetInPlace(boxes_[box].parts[part], true);
    return boxes_[box].parts[part];
}

void PanelView::SetInPlace(HWND window, bool inPlace)
{
    int part = 0;
    if (Widget* widget = WidgetOf(window)) {
        if (widget->inPlace == inPlace || (!inPlace && widget->kept))
            return;
        widget->inPlace = inPlace;
        if (inPlace)
            CatchUp(*widget);
        else if (widget->edit != nullptr)
            widget->typed = ::SendMessageW(widget->edit, EM_GETMODIFY, 0, 0) != 0;
        PlaceWidget(nullptr, *widget, pages_[widget->tab]->ScrollY());
        if (!inPlace) {
            RedrawParked(*widget, kPartControl);
            RedrawParked(*widget, kPartEdit);
        }
        return;
    }
    const int index = BoxOf(window, &part);
    if (index < 0)
        return;
    Box& box = boxes_[static_cast<size_t>(index)];
    if (box.inPlace[part] == inPlace || (!inPlace && box.kept[part]))
        return;
    box.inPlace[part] = inPlace;
    Place(nullptr, window, box.placed[part], inPlace, pages_[0]->ScrollY());
    if (!inPlace)
        RedrawParkedPart(static_cast<size_t>(index), static_cast<GroupPart>(part));
}

void PanelView::Use(HWND window)
{
    int part = 0;
    if (window == nullptr || window == inUse_ || (WidgetOf(window) == nullptr && BoxOf(window, &part) < 0))
        return;
    // A widget's other window (a slider's edit after its trackbar) stays in place with it.
    if (inUse_ != nullptr && (WidgetOf(inUse_) == nullptr || WidgetOf(inUse_) != WidgetOf(window)))
        SetInPlace(inUse_, false);
    inUse_ = window;
    SetInPlace(window, true);
}

void PanelView::Reached(HWND focus)
{
    if (focus == nullptr || pages_.empty() || !IsChild(pages_[shownTab_]->m_hWnd, focus))
        return;
    // A drop-down's list or an edit inside a control is a child of the control.
    HWND control = focus;
    while (GetParent(control) != pages_[shownTab_]->m_hWnd)
        control = GetParent(control);
    Use(control);
    pages_[shownTab_]->ScrollIntoView(control);
}

void PanelView::PageClicked(HWND page, POINT point, WPARAM keys)
{
    size_t tab = 0;
    while (tab < pages_.size() && pages_[tab]->m_hWnd != page)
        ++tab;
    if (tab >= pages_.size())
        return;
    POINT content = point;
    content.y += pages_[tab]->ScrollY();
    HWND hit = nullptr;
    for (const Widget& widget : widgets_) {
        if (widget.tab == tab && !widget.inPlace && (PtInRect(&widget.drawn[kPartControl], content) || PtInRect(&widget.drawn[kPartEdit], content)))
            hit = widget.control != nullptr ? widget.control : widget.edit;
    }
    for (const Box& box : boxes_) {
        for (int part = kPartSend; tab == 0 && part < kGroupIds; ++part) {
            if (!box.inPlace[part] && PtInRect(&box.placed[part], content))
                hit = box.parts[part];
        }
    }
    if (hit == nullptr)
        return;
    // In place under the pointer, the control takes the click as its own:
    // a trackbar's thumb follows the drag, a drop-down opens its list.
    Use(hit);
    HWND target = ChildWindowFromPointEx(page, point, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (target == nullptr || target == page)
        return;
    POINT inside = point;
    MapWindowPoints(page, target, &inside, 1);
    ::SendMessageW(target, WM_LBUTTONDOWN, keys, MAKELPARAM(inside.x, inside.y));
}

RECT PanelView::BoxRect(size_t box) const
{
    return box < boxes_.size() ? boxes_[box].drawn : RECT();
}

RECT PanelView::PartRect(size_t widget, WidgetPart part) const
{
    return widget < widgets_.size() ? widgets_[widget].drawn[part] : RECT();
}

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
        SetTextColor(dc, box.late ? kBeyondLimits : GetSysColor(COLOR_WINDOWTEXT));
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
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    if (!widget.label.empty() && Meets(label, dirty))
        DrawTextW(dc, widget.label.c_str(), -1, &label, kTextFormat);
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
        HBRUSH fill = CreateSolidBrush(widget.lampOn ? Colour(widget.definition->rgb) : kLampOff);
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

bool PanelView::InSight(const Widget& widget) const
{
    RECT all = widget.drawn[kPartLabel];
    for (const RECT& part : widget.drawn)
        UnionRect(&all, &all, &part);
    if (widget.tab != shownTab_)
        return false;
    if (!batching_)
        return pages_[widget.tab]->InSight(all);
    return sightShown_ && all.bottom > sightTop_ && all.top < sightBottom_;
}

void PanelView::PageScrolled(HWND)
{
    for (Widget& widget : widgets_) {
        if (widget.stale && InSight(widget)) {
            widget.stale = false;
            ShowWidget(widget);
        }
    }
}

bool PanelView::Typing(const Widget& widget) const
{
    if (widget.edit == nullptr)
        return false;
    if ((batching_ ? focus_ : GetFocus()) == widget.edit)
        return true;
    return widget.inPlace ? ::SendMessageW(widget.edit, EM_GETMODIFY, 0, 0) != 0 : widget.typed;
}

COLORREF PanelView::ColourOf(const Widget& widget, const DecodedSignal& decoded) const
{
    if (decoded.belowMin || decoded.aboveMax)
        return kBeyondLimits;
    if (!decoded.missing && !decoded.isText) {
        for (const PanelRange& range : widget.definition->ranges) {
            if ((!range.hasFrom || decoded.physical >= range.from) && (!range.hasTo || decoded.physical <= range.to))
                return Colour(range.rgb);
        }
    }
    return GetSysColor(COLOR_WINDOWTEXT);
}

void PanelView::ShowWidget(Widget& widget, HWND entered)
{
    if (widget.group < 0 || widget.signal < 0)
        return;
    const PanelGroup& group = model_->Group(static_cast<size_t>(widget.group));
    const size_t index = static_cast<size_t>(widget.signal);
    if (group.Heard() && index < group.Received().size()) {
        const DecodedSignal& received = group.Received()[index];
        const COLORREF colour = ColourOf(widget, received);
        const std::wstring text = WideFromUtf8(FormatSignalValue(received));
        if (text != widget.shown || colour != widget.colour) {
            widget.shown = text;
            widget.colour = colour;
            Redraw(widget, kPartIndicator);
            if (widget.definition->type == kWidgetBar)
                Redraw(widget, kPartControl);
        }
    }
    if (index >= group.Sending().size())
        return;
    const DecodedSignal& sending = group.Sending()[index];
    const std::wstring value = WideFromUtf8(sending.isText ? sending.text : FormatPhysical(sending));
    // A parked widget only notes what it shows and is drawn again; the
    // windows of the one in place are told.
    const bool parked = !widget.inPlace;
    const HWND capture = batching_ ? capture_ : GetCapture();
    switch (widget.definition->type) {
    case kWidgetSlider: {
        const int position = SliderPosition(*widget.definition->signal, widget.scale, sending.physical);
        if (capture != widget.control && position != widget.position) {
            widget.position = position;
            if (parked)
                widget.behind = true;
            else
                ::SendMessageW(widget.control, TBM_SETPOS, TRUE, position);
            RedrawParked(widget, kPartControl);
        }
        ShowEdit(widget, value, entered);
        break;
    }
    case kWidgetSpin: case kWidgetText:
        ShowEdit(widget, value, entered);
        break;
    case kWidgetDropdown: {
        const std::vector<SignalEnumEntry>& names = widget.definition->signal->enums;
        int at = -1;
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i].raw == sending.raw)
                at = static_cast<int>(i);
        }
        // Not while its list is open: the user is choosing.
        if ((at != widget.choice || entered == widget.control) &&
            (parked || !::SendMessageW(widget.control, CB_GETDROPPEDSTATE, 0, 0))) {
            widget.choice = at;
            if (parked)
                widget.behind = true;
            else
                ::SendMessageW(widget.control, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
            RedrawParked(widget, kPartControl);
        }
        break;
    }
    case kWidgetToggle: {
        const double shown = sending.isFloat ? sending.rawFloat : static_cast<double>(sending.raw);
        const int on = !sending.missing && shown == widget.onValue ? 1 : 0;
        const std::wstring caption = WideFromUtf8(sending.enumName != nullptr ? *sending.enumName : FormatSignalValue(sending));
        // A click checks the box before the view hears of it: always told.
        if (on != widget.checked || entered == widget.control || caption != widget.controlText) {
            widget.checked = on;
            widget.controlText = caption;
            if (parked) {
                widget.behind = true;
            } else {
                ::SendMessageW(widget.control, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
                SetWindowTextW(widget.control, caption.c_str());
            }
            RedrawParked(widget, kPartControl);
        }
        break;
    }
    case kWidgetValue:
        // A counter's or checksum's line: what the next send writes, where
        // another signal has its control.
        if (automatic_ && value != widget.sending) {
            widget.sending = value;
            Redraw(widget, kPartControl);
        }
        break;
    default:
        break;
    }
}

void PanelView::ShowEdit(Widget& widget, const std::wstring& value, HWND entered)
{
    // What the user is typing stays, unless it was just entered.
    const bool force = widget.edit == entered;
    if (!force && (value == widget.editText || Typing(widget)))
        return;
    widget.editText = value;
    if (widget.inPlace)
        SetWindowTextW(widget.edit, value.c_str());
    else
        widget.behind = true;
    RedrawParked(widget, kPartEdit);
}

void PanelView::CatchUp(Widget& widget)
{
    if (!widget.behind)
        return;
    widget.behind = false;
    if (widget.edit != nullptr && !widget.typed)
        SetWindowTextW(widget.edit, widget.editText.c_str());
    if (widget.definition->type == kWidgetSlider && widget.position >= 0)
        ::SendMessageW(widget.control, TBM_SETPOS, TRUE, widget.position);
    if (widget.definition->type == kWidgetDropdown)
        ::SendMessageW(widget.control, CB_SETCURSEL, static_cast<WPARAM>(widget.choice), 0);
    if (widget.definition->type == kWidgetToggle) {
        ::SendMessageW(widget.control, BM_SETCHECK, widget.checked == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
        SetWindowTextW(widget.control, widget.controlText.c_str());
    }
}

void PanelView::ShowBox(size_t index, int64_t nowMicros, int64_t startMicros)
{
    Box& box = boxes_[index];
    const PanelGroup& model = model_->Group(static_cast<size_t>(widgets_[box.first].group));
    // A late gap ended since the last refresh marks the box a while, however short it was.
    const uint64_t gaps = model.LateGapCount();
    if (gaps != box.gaps)
        box.lateUntil = nowMicros + kLateGapShownMicros;
    const bool late = model.Late(nowMicros, startMicros) || nowMicros < box.lateUntil;
    if (box.shownOnce && late == box.late && gaps == box.gaps)
        return;
    box.shownOnce = true;
    box.late = late;
    box.gaps = gaps;
    const SignalMessage& message = model.Message();
    std::string caption = FormatText("%s  %08x", message.name.c_str(), static_cast<unsigned>(message.code));
    if (message.periodMicros != 0)
        caption += "  " + PeriodText(message.periodMicros);
    if (gaps != 0)
        caption += FormatText("  ~%llu", static_cast<unsigned long long>(gaps));
    box.caption = (late ? L"[迟到 late] " : L"") + WideFromUtf8(caption);
    if (batching_)
        dirty_[0].push_back(box.drawn);
    else
        pages_[0]->InvalidateContent(box.drawn);
}

void PanelView::Refresh(int64_t nowMicros, int64_t startMicros, bool all)
{
    // Only what is in sight: a widget out of it is shown when it comes in.
    batching_ = true;
    focus_ = GetFocus();
    capture_ = GetCapture();
    sightShown_ = shownTab_ < pages_.size() && pages_[shownTab_]->Sight(&sightTop_, &sightBottom_);
    dirty_.assign(pages_.size(), std::vector<RECT>());
    for (Widget& widget : widgets_) {
        if (widget.group < 0)
            continue;
        widget.stale = widget.stale || all || model_->Group(static_cast<size_t>(widget.group)).changed;
        if (widget.stale && InSight(widget)) {
            widget.stale = false;
            ShowWidget(widget);
        }
    }
    for (size_t g = 0; g < model_->GroupCount(); ++g)
        model_->Group(g).changed = false;
    for (size_t b = 0; b < boxes_.size(); ++b)
        ShowBox(b, nowMicros, startMicros);
    if (model_->lampsChanged || all) {
        model_->lampsChanged = false;
        for (Widget& widget : widgets_) {
            if (widget.definition->type != kWidgetLamp)
                continue;
            const size_t index = static_cast<size_t>(widget.definition - &model_->Definition().tabs[widget.tab].widgets[0]);
            const PanelLamp* lamp = model_->LampOf(widget.tab, index);
            const bool on = lamp != nullptr && lamp->On();
            if (on != widget.lampOn || all) {
                widget.lampOn = on;
                Redraw(widget, kPartControl);
            }
        }
    }
    batching_ = false;
    for (size_t tab = 0; tab < pages_.size(); ++tab) {
        if (dirty_[tab].empty())
            continue;
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        const int scrollY = pages_[tab]->ScrollY();
        for (const RECT& rect : dirty_[tab]) {
            HRGN part = CreateRectRgn(rect.left, rect.top - scrollY, rect.right, rect.bottom - scrollY);
            CombineRgn(region, region, part, RGN_OR);
            DeleteObject(part);
        }
        InvalidateRgn(pages_[tab]->m_hWnd, region, FALSE);
        DeleteObject(region);
    }
}

PanelView::Widget* PanelView::WidgetOf(HWND control)
{
    const int id = GetDlgCtrlID(control);
    if (id < IDC_FIRST_WIDGET || id >= IDC_FIRST_GROUP)
        return nullptr;
    const size_t index = static_cast<size_t>(id - IDC_FIRST_WIDGET) / kWidgetIds;
    if (index >= widgets_.size())
        return nullptr;
    Widget& widget = widgets_[index];
    return widget.control == control || widget.edit == control ? &widget : nullptr;
}

int PanelView::BoxOf(HWND control, int* part) const
{
    const int id = GetDlgCtrlID(control);
    if (id < IDC_FIRST_GROUP)
        return -1;
    const size_t index = static_cast<size_t>(id - IDC_FIRST_GROUP) / kGroupIds;
    *part = (id - IDC_FIRST_GROUP) % kGroupIds;
    return index < boxes_.size() && boxes_[index].parts[*part] == control ? static_cast<int>(index) : -1;
}

void PanelView::OrderTabs(const std::vector<size_t>& order)
{
    if (order == tabOrder_ || pages_.empty())
        return;
    tabOrder_ = order;
    // Each box's windows as they stand now (the order they were made in).
    std::vector<std::vector<HWND>> windows(boxes_.size());
    for (HWND child = GetWindow(pages_[0]->m_hWnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        size_t box = boxes_.size();
        if (id >= IDC_FIRST_GROUP) {
            box = static_cast<size_t>(id - IDC_FIRST_GROUP) / kGroupIds;
        } else if (id >= IDC_FIRST_WIDGET) {
            const size_t widget = static_cast<size_t>(id - IDC_FIRST_WIDGET) / kWidgetIds;
            box = 0;
            while (box < boxes_.size() && widget >= boxes_[box].first + boxes_[box].count)
                ++box;
        }
        if (box < boxes_.size())
            windows[box].push_back(child);
    }
    HWND after = HWND_TOP;
    for (size_t box : order) {
        for (HWND window : windows[box]) {
            SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
            after = window;
        }
    }
}

bool PanelView::Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    int part = 0;
    if (message == WM_COMMAND && lParam != 0) {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (Widget* widget = WidgetOf(control)) {
            if (control == widget->control)
                Changed(*widget, control, HIWORD(wParam));
            return true;
        }
        const int box = BoxOf(control, &part);
        if (box < 0)
            return false;
        if (HIWORD(wParam) == BN_CLICKED && part == kPartSend) {
            SendBox(static_cast<size_t>(box));
        } else if (HIWORD(wParam) == BN_CLICKED && part == kPartCyclic) {
            const Box& group = boxes_[static_cast<size_t>(box)];
            const bool on = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (!actions_->SetCyclic(static_cast<size_t>(widgets_[group.first].group), on,
                                     Utf8FromWide(WindowText(group.parts[kPartPeriod])))) {
                ::SendMessageW(control, BM_SETCHECK, BST_UNCHECKED, 0);
                RedrawParkedPart(static_cast<size_t>(box), kPartCyclic);
            }
        }
        return true;
    }
    if ((message == WM_HSCROLL || message == WM_VSCROLL) && lParam != 0) {
        Widget* widget = WidgetOf(reinterpret_cast<HWND>(lParam));
        if (widget != nullptr && widget->definition->type == kWidgetSlider)
            Scrolled(*widget);
        return widget != nullptr;
    }
    if (message == WM_NOTIFY && lParam != 0) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        Widget* widget = WidgetOf(header->hwndFrom);
        if (widget == nullptr)
            return false;
        if (header->code == UDN_DELTAPOS) {
            Stepped(*widget, reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta);
            *result = 1;   // the up-down keeps no position of its own
        }
        return true;
    }
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
        // The page's face behind check boxes and buttons.
        HWND control = reinterpret_cast<HWND>(lParam);
        if (WidgetOf(control) == nullptr && BoxOf(control, &part) < 0)
            return false;
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        *result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    return false;
}

void PanelView::Changed(Widget& widget, HWND control, UINT code)
{
    const PanelWidget& definition = *widget.definition;
    if (widget.group < 0)
        return;
    const size_t group = static_cast<size_t>(widget.group);
    if (definition.type == kWidgetDropdown && code == CBN_SELCHANGE) {
        const LRESULT at = ::SendMessageW(control, CB_GETCURSEL, 0, 0);
        if (at >= 0 && static_cast<size_t>(at) < definition.signal->enums.size() &&
            actions_->Set(group, *definition.signal, definition.signal->enums[static_cast<size_t>(at)].name))
            actions_->Send(group);
    } else if (definition.type == kWidgetToggle && code == BN_CLICKED) {
        const bool on = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (actions_->Set(group, *definition.signal, on ? definition.on : definition.off))
            actions_->Send(group);
    } else {
        return;
    }
    ShowWidget(widget, control);   // what was sent, or, refused, what stands
}

void PanelView::Scrolled(Widget& widget)
{
    const int position = static_cast<int>(::SendMessageW(widget.control, TBM_GETPOS, 0, 0));
    if (position == widget.position)
        return;
    widget.position = position;
    const size_t group = static_cast<size_t>(widget.group);
    if (actions_->SetPhysical(group, *widget.definition->signal, SliderPhysical(*widget.definition->signal, widget.scale, position)))
        actions_->Send(group);
    ::SendMessageW(widget.edit, EM_SETMODIFY, FALSE, 0);
    ShowWidget(widget, widget.edit);
}

// One raw count a step, from what the message sends now.
void PanelView::Stepped(Widget& widget, int delta)
{
    if (widget.group < 0 || widget.signal < 0)
        return;
    const PanelGroup& group = model_->Group(static_cast<size_t>(widget.group));
    const DecodedSignal& now = group.Sending()[static_cast<size_t>(widget.signal)];
    const Signal& signal = *widget.definition->signal;
    const double raw = (now.isFloat ? now.rawFloat : static_cast<double>(now.raw)) + delta;
    if (actions_->SetPhysical(static_cast<size_t>(widget.group), signal, raw * signal.scale + signal.offset))
        actions_->Send(static_cast<size_t>(widget.group));
    ::SendMessageW(widget.edit, EM_SETMODIFY, FALSE, 0);
    ShowWidget(widget, widget.edit);
}

void PanelView::Commit(HWND edit)
{
    int part = 0;
    const int box = BoxOf(edit, &part);
    if (box >= 0 && part == kPartPeriod) {
        // A new period for a cyclic send that runs.
        const Box& group = boxes_[static_cast<size_t>(box)];
        if (::SendMessageW(group.parts[kPartCyclic], BM_GETCHECK, 0, 0) == BST_CHECKED &&
            !actions_->SetCyclic(static_cast<size_t>(widgets_[group.first].group), true, Utf8FromWide(WindowText(edit)))) {
            ::SendMessageW(group.parts[kPartCyclic], BM_SETCHECK, BST_UNCHECKED, 0);
            RedrawParkedPart(static_cast<size_t>(box), kPartCyclic);
        }
        return;
    }
    Widget* widget = WidgetOf(edit);
    if (widget == nullptr || edit != widget->edit || widget->group < 0)
        return;
    if (SetFromEdit(*widget))
        actions_->Send(static_cast<size_t>(widget->group));
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
}

// Refused, the text stays as typed, to be mended.
bool PanelView::SetFromEdit(Widget& widget)
{
    if (!actions_->Set(static_cast<size_t>(widget.group), *widget.definition->signal, Utf8FromWide(WindowText(widget.edit))))
        return false;
    ::SendMessageW(widget.edit, EM_SETMODIFY, FALSE, 0);
    widget.typed = false;
    ShowWidget(widget, widget.edit);
    return true;
}

// Send takes what was typed in the box's edit boxes and not yet entered,
// then sends the message once.
bool PanelView::SendBox(size_t index)
{
    const Box& box = boxes_[index];
    for (size_t i = box.first; i < box.first + box.count; ++i) {
        Widget& widget = widgets_[i];
        if (widget.edit != nullptr && ::SendMessageW(widget.edit, EM_GETMODIFY, 0, 0) != 0 && !SetFromEdit(widget))
            return false;
    }
    return actions_->Send(static_cast<size_t>(widgets_[box.first].group));
}

void PanelView::Press(HWND button, bool pressed)
{
    Widget* widget = WidgetOf(button);
    if (widget == nullptr || widget->definition->type != kWidgetButton || widget->group < 0 || pressed == widget->pressed)
        return;
    widget->pressed = pressed;
    const size_t group = static_cast<size_t>(widget->group);
    if (!pressed && !widget->definition->hasRelease)
        return;
    if (actions_->Set(group, *widget->definition->signal, pressed ? widget->definition->press : widget->definition->release))
        actions_->Send(group);
}
