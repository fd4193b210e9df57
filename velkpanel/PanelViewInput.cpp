#include "velkpanel/PanelView.h"

#include <commctrl.h>

#include "velkpanel/DrawnControls.h"
#include "windows/WideText.h"

// What the user does to an input: a change becomes a Set and a Send on the
// actions (the panel's sender), and the widget shows what stands then.

bool PanelView::ChildNotified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
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
