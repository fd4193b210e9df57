#include "velkpanel/PanelView.h"

#include <math.h>

#include <algorithm>

#include <commctrl.h>

#include "common/FormatText.h"
#include "signals/SignalText.h"
#include "velkpanel/PanelLayout.h"
#include "velkpanel/resource.h"
#include "windows/SystemCodePage.h"

namespace {

const COLORREF kBeyondLimits = RGB(0xe0, 0x20, 0x20);
const COLORREF kLampOff = RGB(0x70, 0x70, 0x70);
const COLORREF kBarFill = RGB(0x20, 0x60, 0xe0);
const int kComboListLines = 10;   // a drop-down's height includes its list
const UINT_PTR kSubclassId = 1;

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

// The period a Cyclic box starts with: the message's, else 100 ms.
std::string PeriodText(uint64_t micros)
{
    if (micros == 0)
        return "100ms";
    if (micros % 1000000 == 0)
        return FormatText("%llus", static_cast<unsigned long long>(micros / 1000000));
    if (micros % 1000 == 0)
        return FormatText("%llums", static_cast<unsigned long long>(micros / 1000));
    return FormatText("%lluus", static_cast<unsigned long long>(micros));
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
    const Panel& panel = model_->Spec();
    for (size_t tab = 0; tab < panel.tabs.size(); ++tab) {
        pages_.emplace_back(new CPanelPage);
        if (!pages_.back()->Create(dialog_, IDC_FIRST_PAGE + static_cast<int>(tab)))
            return false;
        for (size_t i = 0; i < panel.tabs[tab].widgets.size(); ++i) {
            Widget widget;
            widget.spec = &panel.tabs[tab].widgets[i];
            widget.tab = tab;
            widget.group = model_->GroupOf(widget.spec->message);
            widget.signal = widget.group >= 0 && widget.spec->signal != nullptr
                          ? model_->Group(static_cast<size_t>(widget.group)).IndexOf(*widget.spec->signal) : -1;
            widgets_.push_back(widget);
        }
    }
    // Made in order, group by group on the automatic panel: the order Tab
    // visits them.
    size_t next = 0;
    while (next < widgets_.size()) {
        if (automatic_) {
            Group group;
            group.first = next;
            while (next < widgets_.size() && widgets_[next].group == widgets_[group.first].group)
                ++next;
            group.count = next - group.first;
            groups_.push_back(group);
            if (!MakeGroup(groups_.size() - 1))
                return false;
            continue;
        }
        if (!MakeWidget(next++))
            return false;
    }
    ShowTab(0);
    return true;
}

bool PanelView::MakeGroup(size_t index)
{
    Group& group = groups_[index];
    const int id = IDC_FIRST_GROUP + static_cast<int>(index) * kGroupIds;
    const SignalMessage& message = *widgets_[group.first].spec->message;
    group.parts[kPartBox] = Make(0, id + kPartBox, L"BUTTON", L"", BS_GROUPBOX);
    for (size_t i = group.first; i < group.first + group.count; ++i) {
        if (!MakeWidget(i))
            return false;
    }
    group.parts[kPartSend] = Make(0, id + kPartSend, L"BUTTON", L"发送 Send", BS_PUSHBUTTON | WS_TABSTOP);
    group.parts[kPartCyclic] = Make(0, id + kPartCyclic, L"BUTTON", L"周期 Cyclic", BS_AUTOCHECKBOX | WS_TABSTOP);
    group.parts[kPartPeriod] = Make(0, id + kPartPeriod, L"EDIT", WideFromUtf8(PeriodText(message.periodMicros)),
                                    ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    for (HWND part : group.parts) {
        if (part == nullptr)
            return false;
    }
    SetWindowSubclass(group.parts[kPartPeriod], EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

bool PanelView::MakeWidget(size_t index)
{
    Widget& widget = widgets_[index];
    const PanelWidget& spec = *widget.spec;
    const int id = IDC_FIRST_WIDGET + static_cast<int>(index) * kWidgetIds;
    const size_t tab = widget.tab;
    const std::wstring label = WideFromUtf8(spec.label);
    const DWORD text = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_CENTERIMAGE;
    widget.colour = GetSysColor(COLOR_WINDOWTEXT);
    HWND* parts = widget.parts;
    if (spec.type != kWidgetButton && spec.type != kWidgetLamp)
        parts[kPartLabel] = Make(tab, id + kPartLabel, L"STATIC", label, text);
    switch (spec.type) {
    case kWidgetSlider:
        MakeSliderScale(*spec.signal, &widget.scale);
        parts[kPartControl] = Make(tab, id + kPartControl, TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP);
        if (parts[kPartControl] != nullptr) {
            ::SendMessageW(parts[kPartControl], TBM_SETRANGEMIN, FALSE, 0);
            ::SendMessageW(parts[kPartControl], TBM_SETRANGEMAX, FALSE, widget.scale.last);
            ::SendMessageW(parts[kPartControl], TBM_SETLINESIZE, 0, 1);   // one raw count
            ::SendMessageW(parts[kPartControl], TBM_SETPAGESIZE, 0, std::max(1, widget.scale.last / 20));
        }
        parts[kPartEdit] = Make(tab, id + kPartEdit, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
        parts[kPartUnit] = Make(tab, id + kPartUnit, L"STATIC", WideFromUtf8(spec.signal->unit), text);
        break;
    case kWidgetSpin:
        parts[kPartEdit] = Make(tab, id + kPartEdit, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
        parts[kPartControl] = Make(tab, id + kPartControl, UPDOWN_CLASSW, L"", UDS_ALIGNRIGHT | UDS_ARROWKEYS);
        if (parts[kPartControl] != nullptr) {
            ::SendMessageW(parts[kPartControl], UDM_SETBUDDY, reinterpret_cast<WPARAM>(parts[kPartEdit]), 0);
            ::SendMessageW(parts[kPartControl], UDM_SETRANGE32, static_cast<WPARAM>(-1000000), 1000000);
        }
        parts[kPartUnit] = Make(tab, id + kPartUnit, L"STATIC", WideFromUtf8(spec.signal->unit), text);
        break;
    case kWidgetDropdown:
        parts[kPartControl] = Make(tab, id + kPartControl, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
        for (const SignalEnumEntry& entry : spec.signal->enums)
            ::SendMessageW(parts[kPartControl], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(entry.name).c_str()));
        break;
    case kWidgetToggle: {
        parts[kPartControl] = Make(tab, id + kPartControl, L"BUTTON", L"", BS_AUTOCHECKBOX | WS_TABSTOP);
        SignalRaw raw;
        std::string unused;
        if (EncodeSignalText(*spec.signal, spec.on, &raw, &unused))
            widget.onPhysical = raw.isFloat ? raw.real : static_cast<double>(raw.integer);
        break;
    }
    case kWidgetButton:
        parts[kPartControl] = Make(tab, id + kPartControl, L"BUTTON", label, BS_PUSHBUTTON | WS_TABSTOP);
        if (parts[kPartControl] != nullptr)
            SetWindowSubclass(parts[kPartControl], ButtonProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
        break;
    case kWidgetLamp:
        parts[kPartControl] = Make(tab, id + kPartControl, L"STATIC", L"", SS_OWNERDRAW);
        parts[kPartLabel] = Make(tab, id + kPartLabel, L"STATIC", label, text);
        break;
    case kWidgetBar:
        parts[kPartControl] = Make(tab, id + kPartControl, L"STATIC", L"", SS_OWNERDRAW);
        break;
    case kWidgetValue:
        break;
    case kWidgetText:
        parts[kPartEdit] = Make(tab, id + kPartEdit, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
        break;
    }
    if (spec.type != kWidgetLamp)
        parts[kPartIndicator] = Make(tab, id + kPartIndicator, L"STATIC", L"-", text);
    if (parts[kPartEdit] != nullptr)
        SetWindowSubclass(parts[kPartEdit], EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    // Every part the type has must exist.
    const bool made = (parts[kPartControl] != nullptr || spec.type == kWidgetValue || spec.type == kWidgetText) &&
                      (parts[kPartEdit] != nullptr || (spec.type != kWidgetSlider && spec.type != kWidgetSpin &&
                                                       spec.type != kWidgetText)) &&
                      (parts[kPartLabel] != nullptr || spec.type == kWidgetButton) &&
                      (parts[kPartIndicator] != nullptr || spec.type == kWidgetLamp);
    return made;
}

RECT PanelView::Pixels(const DluRect& rect, int scrollY) const
{
    RECT pixels = { rect.x, rect.y, rect.Right(), rect.Bottom() };
    MapDialogRect(dialog_, &pixels);
    pixels.top -= scrollY;
    pixels.bottom -= scrollY;
    return pixels;
}

void PanelView::Place(HDWP* batch, HWND window, const DluRect& rect, int scrollY, int extraHeight)
{
    if (window == nullptr || *batch == nullptr)
        return;
    const RECT pixels = Pixels(rect, scrollY);
    *batch = DeferWindowPos(*batch, window, nullptr, pixels.left, pixels.top, pixels.right - pixels.left,
                            pixels.bottom - pixels.top + extraHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PanelView::LayoutWidget(HDWP* batch, Widget& widget, const DluRect& rect, bool twoLines, int scrollY)
{
    const WidgetCells cells = SplitWidget(widget.spec->type, rect, twoLines);
    Place(batch, widget.parts[kPartLabel], cells.label, scrollY);
    const RECT control = Pixels(cells.control, 0);
    const int list = widget.spec->type == kWidgetDropdown ? (control.bottom - control.top) * kComboListLines : 0;
    Place(batch, widget.parts[kPartControl], cells.control, scrollY, list);
    Place(batch, widget.parts[kPartEdit], cells.edit, scrollY);
    Place(batch, widget.parts[kPartUnit], cells.unit, scrollY);
    Place(batch, widget.parts[kPartIndicator], cells.indicator, scrollY);
    if (widget.spec->type == kWidgetSpin && widget.parts[kPartControl] != nullptr) {
        // The up-down sits inside its edit box's right end, as UDS_ALIGNRIGHT puts it.
        ::SendMessageW(widget.parts[kPartControl], UDM_SETBUDDY, reinterpret_cast<WPARAM>(widget.parts[kPartEdit]), 0);
    }
}

void PanelView::Layout(const RECT& area)
{
    area_ = area;
    RECT unit = { 0, 0, 4, 8 };
    MapDialogRect(dialog_, &unit);
    const int width = area.right - area.left - GetSystemMetrics(SM_CXVSCROLL);
    const int widthDlu = std::max<int>(1, width * 4 / std::max<int>(unit.right, 1));
    const Panel& panel = model_->Spec();
    for (size_t tab = 0; tab < pages_.size(); ++tab) {
        CPanelPage& page = *pages_[tab];
        SetWindowPos(page.m_hWnd, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        const int scrollY = page.ScrollY();
        int heightDlu = 0;
        HDWP batch = BeginDeferWindowPos(static_cast<int>(widgets_.size() * 3 + groups_.size() * 4 + 1));
        if (automatic_) {
            std::vector<size_t> rows;
            for (const Group& group : groups_)
                rows.push_back(group.count);
            const std::vector<GroupLayout> layout = LayoutGroups(rows, widthDlu, &heightDlu);
            for (size_t g = 0; g < groups_.size(); ++g) {
                Group& group = groups_[g];
                Place(&batch, group.parts[kPartBox], layout[g].box, scrollY);
                for (size_t i = 0; i < group.count; ++i)
                    LayoutWidget(&batch, widgets_[group.first + i], layout[g].rows[i], false, scrollY);
                const FooterCells footer = SplitFooter(layout[g].footer);
                Place(&batch, group.parts[kPartSend], footer.send, scrollY);
                Place(&batch, group.parts[kPartCyclic], footer.cyclic, scrollY);
                Place(&batch, group.parts[kPartPeriod], footer.period, scrollY);
            }
        } else {
            const PanelTab& spec = panel.tabs[tab];
            for (Widget& widget : widgets_) {
                if (widget.tab == tab)
                    LayoutWidget(&batch, widget, GridCell(*widget.spec, spec.columns, widthDlu), true, scrollY);
            }
            heightDlu = GridHeight(spec.rows);
        }
        if (batch != nullptr)
            EndDeferWindowPos(batch);
        RECT content = { 0, 0, 0, heightDlu };
        MapDialogRect(dialog_, &content);
        page.SetContentHeight(content.bottom);
    }
}

void PanelView::ShowTab(size_t tab)
{
    shownTab_ = tab < pages_.size() ? tab : 0;
    for (size_t i = 0; i < pages_.size(); ++i)
        ShowWindow(pages_[i]->m_hWnd, i == shownTab_ ? SW_SHOW : SW_HIDE);
}

HWND PanelView::Control(size_t widget, WidgetPart part) const
{
    return widget < widgets_.size() ? widgets_[widget].parts[part] : nullptr;
}

HWND PanelView::GroupControl(size_t group, GroupPart part) const
{
    return group < groups_.size() ? groups_[group].parts[part] : nullptr;
}

bool PanelView::Editing(HWND edit) const
{
    return edit != nullptr && (GetFocus() == edit || ::SendMessageW(edit, EM_GETMODIFY, 0, 0) != 0);
}

void PanelView::SetText(HWND window, const std::wstring& text)
{
    if (window != nullptr && WindowText(window) != text)
        SetWindowTextW(window, text.c_str());
}

COLORREF PanelView::ColourOf(const Widget& widget, const DecodedSignal& decoded) const
{
    if (decoded.belowMin || decoded.aboveMax)
        return kBeyondLimits;
    if (!decoded.missing && !decoded.isText) {
        for (const PanelRange& range : widget.spec->ranges) {
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
    HWND* parts = widget.parts;
    if (group.Heard() && index < group.Received().size()) {
        const DecodedSignal& received = group.Received()[index];
        const COLORREF colour = ColourOf(widget, received);
        const std::wstring text = WideFromUtf8(FormatSignalValue(received));
        if (text != widget.shown || colour != widget.colour) {
            widget.shown = text;
            widget.colour = colour;
            SetText(parts[kPartIndicator], text);
            if (parts[kPartIndicator] != nullptr)
                InvalidateRect(parts[kPartIndicator], nullptr, TRUE);
            if (widget.spec->type == kWidgetBar)
                InvalidateRect(parts[kPartControl], nullptr, FALSE);
        }
    }
    if (index >= group.Sending().size())
        return;
    const DecodedSignal& sending = group.Sending()[index];
    const std::wstring value = WideFromUtf8(sending.isText ? sending.text : FormatPhysical(sending));
    switch (widget.spec->type) {
    case kWidgetSlider: {
        const int position = SliderPosition(*widget.spec->signal, widget.scale, sending.physical);
        if (GetCapture() != parts[kPartControl] && position != widget.position) {
            widget.position = position;
            ::SendMessageW(parts[kPartControl], TBM_SETPOS, TRUE, position);
        }
        if (!Editing(parts[kPartEdit]) || parts[kPartEdit] == entered)
            SetText(parts[kPartEdit], value);
        break;
    }
    case kWidgetSpin: case kWidgetText:
        if (!Editing(parts[kPartEdit]) || parts[kPartEdit] == entered)
            SetText(parts[kPartEdit], value);
        break;
    case kWidgetDropdown: {
        if (::SendMessageW(parts[kPartControl], CB_GETDROPPEDSTATE, 0, 0))
            break;
        const std::vector<SignalEnumEntry>& names = widget.spec->signal->enums;
        int at = -1;
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i].raw == sending.raw)
                at = static_cast<int>(i);
        }
        if (::SendMessageW(parts[kPartControl], CB_GETCURSEL, 0, 0) != at)
            ::SendMessageW(parts[kPartControl], CB_SETCURSEL, static_cast<WPARAM>(at), 0);
        break;
    }
    case kWidgetToggle: {
        const double shown = sending.isFloat ? sending.rawFloat : static_cast<double>(sending.raw);
        const bool on = !sending.missing && shown == widget.onPhysical;
        ::SendMessageW(parts[kPartControl], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        SetText(parts[kPartControl], WideFromUtf8(sending.enumName != nullptr ? *sending.enumName : FormatSignalValue(sending)));
        break;
    }
    default:
        break;
    }
}

void PanelView::ShowGroup(size_t index, int64_t nowMicros, int64_t startMicros)
{
    Group& group = groups_[index];
    const PanelGroup& model = model_->Group(static_cast<size_t>(widgets_[group.first].group));
    const bool late = model.Late(nowMicros, startMicros);
    if (group.shownOnce && late == group.late)
        return;
    group.shownOnce = true;
    group.late = late;
    const SignalMessage& message = model.Message();
    std::string caption = FormatText("%s  %08x", message.name.c_str(), static_cast<unsigned>(message.code));
    if (message.periodMicros != 0)
        caption += "  " + PeriodText(message.periodMicros);
    SetText(group.parts[kPartBox], (late ? L"[迟到 late] " : L"") + WideFromUtf8(caption));
}

void PanelView::Refresh(int64_t nowMicros, int64_t startMicros, bool all)
{
    for (Widget& widget : widgets_) {
        if (widget.group >= 0 && (all || model_->Group(static_cast<size_t>(widget.group)).changed))
            ShowWidget(widget);
    }
    for (size_t g = 0; g < model_->GroupCount(); ++g)
        model_->Group(g).changed = false;
    for (size_t g = 0; g < groups_.size(); ++g)
        ShowGroup(g, nowMicros, startMicros);
    if (model_->lampsChanged || all) {
        model_->lampsChanged = false;
        for (Widget& widget : widgets_) {
            if (widget.spec->type != kWidgetLamp)
                continue;
            const PanelLamp* lamp = model_->LampOf(widget.tab, static_cast<size_t>(widget.spec - &model_->Spec().tabs[widget.tab].widgets[0]));
            const bool on = lamp != nullptr && lamp->On();
            if (on != widget.lampOn || all) {
                widget.lampOn = on;
                InvalidateRect(widget.parts[kPartControl], nullptr, FALSE);
            }
        }
    }
}

PanelView::Widget* PanelView::WidgetOf(HWND control, int* part)
{
    const int id = GetDlgCtrlID(control);
    if (id < IDC_FIRST_WIDGET || id >= IDC_FIRST_GROUP)
        return nullptr;
    const size_t index = static_cast<size_t>(id - IDC_FIRST_WIDGET) / kWidgetIds;
    *part = (id - IDC_FIRST_WIDGET) % kWidgetIds;
    return index < widgets_.size() && widgets_[index].parts[*part] == control ? &widgets_[index] : nullptr;
}

int PanelView::GroupOf(HWND control, int* part) const
{
    const int id = GetDlgCtrlID(control);
    if (id < IDC_FIRST_GROUP)
        return -1;
    const size_t index = static_cast<size_t>(id - IDC_FIRST_GROUP) / kGroupIds;
    *part = (id - IDC_FIRST_GROUP) % kGroupIds;
    return index < groups_.size() && groups_[index].parts[*part] == control ? static_cast<int>(index) : -1;
}

bool PanelView::Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    int part = 0;
    if (message == WM_COMMAND && lParam != 0) {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (Widget* widget = WidgetOf(control, &part)) {
            Changed(*widget, control, part, HIWORD(wParam));
            return true;
        }
        const int group = GroupOf(control, &part);
        if (group < 0)
            return false;
        if (HIWORD(wParam) == BN_CLICKED && part == kPartSend) {
            SendBox(static_cast<size_t>(group));
        } else if (HIWORD(wParam) == BN_CLICKED && part == kPartCyclic) {
            Group& box = groups_[static_cast<size_t>(group)];
            const bool on = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (!actions_->SetCyclic(static_cast<size_t>(widgets_[box.first].group), on,
                                     Utf8FromWide(WindowText(box.parts[kPartPeriod]))))
                ::SendMessageW(control, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        return true;
    }
    if ((message == WM_HSCROLL || message == WM_VSCROLL) && lParam != 0) {
        Widget* widget = WidgetOf(reinterpret_cast<HWND>(lParam), &part);
        if (widget != nullptr && widget->spec->type == kWidgetSlider)
            Scrolled(*widget);
        return widget != nullptr;
    }
    if (message == WM_NOTIFY && lParam != 0) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        Widget* widget = WidgetOf(header->hwndFrom, &part);
        if (widget == nullptr)
            return false;
        if (header->code == UDN_DELTAPOS) {
            Stepped(*widget, reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta);
            *result = 1;   // the up-down keeps no position of its own
        }
        return true;
    }
    if (message == WM_DRAWITEM && lParam != 0) {
        const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        Widget* widget = WidgetOf(item->hwndItem, &part);
        if (widget == nullptr)
            return false;
        DrawGauge(*widget, *item);
        *result = TRUE;
        return true;
    }
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
        // The page's face behind every static, box and check box; an
        // indicator's text in its colour.
        HWND control = reinterpret_cast<HWND>(lParam);
        Widget* widget = WidgetOf(control, &part);
        if (widget == nullptr && GroupOf(control, &part) < 0)
            return false;
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (widget != nullptr && part == kPartIndicator)
            SetTextColor(dc, widget->colour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        *result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    return false;
}

void PanelView::Changed(Widget& widget, HWND control, int part, UINT code)
{
    const PanelWidget& spec = *widget.spec;
    if (widget.group < 0 || part != kPartControl)
        return;
    const size_t group = static_cast<size_t>(widget.group);
    if (spec.type == kWidgetDropdown && code == CBN_SELCHANGE) {
        const LRESULT at = ::SendMessageW(control, CB_GETCURSEL, 0, 0);
        if (at >= 0 && static_cast<size_t>(at) < spec.signal->enums.size() &&
            actions_->Set(group, *spec.signal, spec.signal->enums[static_cast<size_t>(at)].name))
            actions_->Send(group);
    } else if (spec.type == kWidgetToggle && code == BN_CLICKED) {
        const bool on = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (actions_->Set(group, *spec.signal, on ? spec.on : spec.off))
            actions_->Send(group);
    } else {
        return;
    }
    ShowWidget(widget);   // what was sent, or, refused, what stands
}

void PanelView::Scrolled(Widget& widget)
{
    const int position = static_cast<int>(::SendMessageW(widget.parts[kPartControl], TBM_GETPOS, 0, 0));
    if (position == widget.position)
        return;
    widget.position = position;
    const size_t group = static_cast<size_t>(widget.group);
    if (actions_->SetPhysical(group, *widget.spec->signal, SliderPhysical(*widget.spec->signal, widget.scale, position)))
        actions_->Send(group);
    ::SendMessageW(widget.parts[kPartEdit], EM_SETMODIFY, FALSE, 0);
    ShowWidget(widget, widget.parts[kPartEdit]);
}

// One raw count a step, from what the message sends now.
void PanelView::Stepped(Widget& widget, int delta)
{
    if (widget.group < 0 || widget.signal < 0)
        return;
    const PanelGroup& group = model_->Group(static_cast<size_t>(widget.group));
    const DecodedSignal& now = group.Sending()[static_cast<size_t>(widget.signal)];
    const Signal& signal = *widget.spec->signal;
    const double raw = (now.isFloat ? now.rawFloat : static_cast<double>(now.raw)) + delta;
    if (actions_->SetPhysical(static_cast<size_t>(widget.group), signal, raw * signal.scale + signal.offset))
        actions_->Send(static_cast<size_t>(widget.group));
    ::SendMessageW(widget.parts[kPartEdit], EM_SETMODIFY, FALSE, 0);
    ShowWidget(widget, widget.parts[kPartEdit]);
}

void PanelView::Commit(HWND edit)
{
    int part = 0;
    const int box = GroupOf(edit, &part);
    if (box >= 0 && part == kPartPeriod) {
        // A new period for a cyclic send that runs.
        const Group& group = groups_[static_cast<size_t>(box)];
        if (::SendMessageW(group.parts[kPartCyclic], BM_GETCHECK, 0, 0) == BST_CHECKED &&
            !actions_->SetCyclic(static_cast<size_t>(widgets_[group.first].group), true, Utf8FromWide(WindowText(edit))))
            ::SendMessageW(group.parts[kPartCyclic], BM_SETCHECK, BST_UNCHECKED, 0);
        return;
    }
    Widget* widget = WidgetOf(edit, &part);
    if (widget == nullptr || part != kPartEdit || widget->group < 0)
        return;
    if (SetFromEdit(*widget))
        actions_->Send(static_cast<size_t>(widget->group));
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
}

// Refused, the text stays as typed, to be mended.
bool PanelView::SetFromEdit(Widget& widget)
{
    HWND edit = widget.parts[kPartEdit];
    if (!actions_->Set(static_cast<size_t>(widget.group), *widget.spec->signal, Utf8FromWide(WindowText(edit))))
        return false;
    ::SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    ShowWidget(widget, edit);
    return true;
}

// Send takes what was typed in the box's edit boxes and not yet entered,
// then sends the message once.
bool PanelView::SendBox(size_t box)
{
    const Group& group = groups_[box];
    for (size_t i = group.first; i < group.first + group.count; ++i) {
        Widget& widget = widgets_[i];
        HWND edit = widget.parts[kPartEdit];
        if (edit != nullptr && ::SendMessageW(edit, EM_GETMODIFY, 0, 0) != 0 && !SetFromEdit(widget))
            return false;
    }
    return actions_->Send(static_cast<size_t>(widgets_[group.first].group));
}

void PanelView::Press(HWND button, bool pressed)
{
    int part = 0;
    Widget* widget = WidgetOf(button, &part);
    if (widget == nullptr || widget->spec->type != kWidgetButton || widget->group < 0 || pressed == widget->pressed)
        return;
    widget->pressed = pressed;
    const size_t group = static_cast<size_t>(widget->group);
    if (!pressed && !widget->spec->hasRelease)
        return;
    if (actions_->Set(group, *widget->spec->signal, pressed ? widget->spec->press : widget->spec->release))
        actions_->Send(group);
}

void PanelView::DrawGauge(const Widget& widget, const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    if (widget.spec->type == kWidgetLamp) {
        const int side = std::min(rect.right - rect.left, rect.bottom - rect.top) - 2;
        HBRUSH fill = CreateSolidBrush(widget.lampOn ? Colour(widget.spec->rgb) : kLampOff);
        HGDIOBJ oldBrush = SelectObject(dc, fill);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        Ellipse(dc, rect.left + 1, rect.top + 1, rect.left + 1 + side, rect.top + 1 + side);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(fill);
        return;
    }
    // A bar: the received value's share of min..max, in its range's colour.
    FrameRect(dc, &rect, GetSysColorBrush(COLOR_WINDOWFRAME));
    if (widget.group < 0 || widget.signal < 0)
        return;
    const PanelGroup& group = model_->Group(static_cast<size_t>(widget.group));
    if (!group.Heard() || static_cast<size_t>(widget.signal) >= group.Received().size())
        return;
    const DecodedSignal& received = group.Received()[static_cast<size_t>(widget.signal)];
    if (received.missing || !isfinite(received.physical))
        return;
    const double share = std::max(0.0, std::min(1.0, (received.physical - widget.spec->min) / (widget.spec->max - widget.spec->min)));
    RECT filled = { rect.left + 1, rect.top + 1, rect.left + 1 + static_cast<LONG>(share * (rect.right - rect.left - 2)), rect.bottom - 1 };
    const COLORREF colour = ColourOf(widget, received);
    HBRUSH fill = CreateSolidBrush(colour == GetSysColor(COLOR_WINDOWTEXT) ? kBarFill : colour);
    FillRect(dc, &filled, fill);
    DeleteObject(fill);
}
