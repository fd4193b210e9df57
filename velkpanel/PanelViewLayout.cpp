#include "velkpanel/PanelView.h"

#include <algorithm>

#include <commctrl.h>

#include "velkpanel/resource.h"

// Where the windows stand: laid out for the page's width, each input in
// place while in use and parked out of sight otherwise.

namespace {

const int kComboListLines = 10;    // a drop-down's height includes its list
const int kParkedOffset = 20000;   // pixels left of its place: a parked window, out of the page's sight

} // namespace

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

HWND PanelView::GroupControl(size_t box, GroupPart part)
{
    if (box >= boxes_.size() || boxes_[box].parts[part] == nullptr)
        return nullptr;
    boxes_[box].kept[part] = true;
    SetInPlace(boxes_[box].parts[part], true);
    return boxes_[box].parts[part];
}

RECT PanelView::BoxRect(size_t box) const
{
    return box < boxes_.size() ? boxes_[box].drawn : RECT();
}

RECT PanelView::PartRect(size_t widget, WidgetPart part) const
{
    return widget < widgets_.size() ? widgets_[widget].drawn[part] : RECT();
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
