#include "velkpanel/PanelView.h"

#include <commctrl.h>

#include "common/FormatText.h"
#include "signals/SignalText.h"
#include "velkpanel/DrawnControls.h"
#include "windows/WideText.h"

// What the widgets and boxes show: the values received and to be sent, late
// boxes, lamps; only what is in sight, the rest when it comes in.

std::wstring PanelView::Indicator(size_t widget) const
{
    return widget < widgets_.size() ? widgets_[widget].shown : std::wstring();
}

std::wstring PanelView::ReadOut(size_t widget) const
{
    return widget < widgets_.size() ? widgets_[widget].sending : std::wstring();
}

std::wstring PanelView::Label(size_t widget) const
{
    return widget < widgets_.size() ? widgets_[widget].label : std::wstring();
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
                return RgbColour(range.rgb);
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
    if (!box.mark.Update(model, nowMicros, startMicros))
        return;
    const SignalMessage& message = model.Message();
    std::string caption = FormatText("%s  %08x", message.name.c_str(), static_cast<unsigned>(message.code));
    if (message.periodMicros != 0)
        caption += "  " + PeriodText(message.periodMicros);
    box.caption = (box.mark.late ? L"[迟到 late] " : L"") + WideFromUtf8(caption + box.mark.GapsText());
    if (batching_)
        dirty_[0].push_back(box.drawn);
    else
        pages_[0]->InvalidateContent(box.drawn);
}

// A panel file's widget of a late message says so by its label, as a box by its caption.
void PanelView::ShowLateness(Widget& widget, int64_t nowMicros, int64_t startMicros)
{
    if (widget.group < 0 || widget.definition->label.empty() || widget.definition->type == kWidgetButton ||
        !widget.mark.Update(model_->Group(static_cast<size_t>(widget.group)), nowMicros, startMicros))
        return;
    widget.label = (widget.mark.late ? L"[迟到 late] " : L"") + WideFromUtf8(widget.definition->label + widget.mark.GapsText());
    Redraw(widget, kPartLabel);
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
        if (!automatic_)
            ShowLateness(widget, nowMicros, startMicros);
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
