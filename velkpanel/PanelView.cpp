#include "velkpanel/PanelView.h"

#include <algorithm>

#include <commctrl.h>

#include "velkpanel/resource.h"
#include "windows/WideText.h"

// Building: a page per tab, the windows of each widget and box. Where they
// stand is PanelViewLayout.cpp, what they show PanelViewValues.cpp, how the
// page draws the rest PanelViewPaint.cpp, what the user does PanelViewInput.cpp.

namespace {

const UINT_PTR kSubclassId = 1;

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
        if (!pages_.back()->Create(dialog_, IDC_FIRST_PAGE + static_cast<int>(tab), this, this))
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
    // Windows are in Tab's order as they are made: a panel file's widgets
    // as they stand on screen; the automatic panel's box by box, and
    // Layout puts the boxes in Tab's order.
    size_t next = 0;
    if (!automatic_) {
        for (const PanelTab& tab : panel.tabs) {
            for (size_t i : GridOrder(tab)) {
                if (!MakeWidget(next + i))
                    return false;
            }
            next += tab.widgets.size();
        }
    }
    while (automatic_ && next < widgets_.size()) {
        Box box;
        box.first = next;
        while (next < widgets_.size() && widgets_[next].group == widgets_[box.first].group)
            ++next;
        box.count = next - box.first;
        boxes_.push_back(box);
        if (!MakeBox(boxes_.size() - 1))
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
