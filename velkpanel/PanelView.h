// The controls of a panel: its inputs are ordinary child controls (Tab
// reaches each one, a slider moves by the arrow keys and PgUp/PgDn), laid
// out in dialog units, shown from the model and read when the user changes
// one; what it only shows (names, units, received values, lamps, bars,
// group boxes) its page draws, so that 500 signals take few windows. The
// input in use (reached by the keyboard or clicked) stands in its place;
// every other one waits parked out of the page's sight, still in the Tab
// order, and the page draws it from its window's state: a whole paint then
// costs one window, not hundreds. What a change means (set a signal and
// send its message, send, cyclic on or off) the panel's sender carries out
// (PanelActions). Its jobs are a file each: building (PanelView.cpp),
// layout and parking (PanelViewLayout.cpp), painting (PanelViewPaint.cpp),
// values (PanelViewValues.cpp), input (PanelViewInput.cpp).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "velkpanel/PanelControls.h"
#include "velkpanel/PanelLayout.h"
#include "velkpanel/PanelModel.h"
#include "velkpanel/PanelPage.h"

// What the view asks of the panel's sender (PanelSender.h), by the model's group index; each says
// in the status line why it refused, and returns false then. A control's
// change is a Set, then a Send.
class PanelActions {
public:
    virtual ~PanelActions() {}
    // text as velkctl post takes a value (a text for a text signal).
    virtual bool Set(size_t group, const Signal& signal, const std::string& text) = 0;
    virtual bool SetPhysical(size_t group, const Signal& signal, double physical) = 0;
    virtual bool Send(size_t group) = 0;
    // On: every period (a duration, "100ms"); off: stopped.
    virtual bool SetCyclic(size_t group, bool on, const std::string& period) = 0;
};

// A widget's parts: windows (control, edit) and drawn ones. Control ids:
// IDC_FIRST_WIDGET + widget x kWidgetIds + part, a box's (the automatic
// panel's, one per message) IDC_FIRST_GROUP + box x kGroupIds + part.
enum WidgetPart { kPartLabel, kPartControl, kPartEdit, kPartUnit, kPartIndicator, kWidgetIds = 8 };
enum GroupPart { kPartBox, kPartSend, kPartCyclic, kPartPeriod, kGroupIds = 4 };

class PanelView : private PagePainter, private PageInput {
public:
    // The automatic panel draws a box per message with Send and Cyclic; a
    // panel file's widgets stand on its grid. All outlive the view.
    PanelView(HWND dialog, PanelModel* model, PanelActions* actions, bool automatic);
    ~PanelView() override;   // the pages and their controls go
    PanelView(const PanelView&) = delete;
    PanelView& operator=(const PanelView&) = delete;

    // Makes a page per tab and its controls; false when a window could not be made.
    bool Build();
    // The pages fill area (the window's client pixels); everything is laid
    // out for its width.
    void Layout(const RECT& area);
    void ShowTab(size_t tab);
    size_t ShownTab() const { return shownTab_; }
    CPanelPage* Page(size_t tab) { return tab < pages_.size() ? pages_[tab].get() : nullptr; }

    // Shows what changed since the last time: received values, what each
    // control will send, late groups, lamps. all: everything.
    void Refresh(int64_t nowMicros, int64_t startMicros, bool all);

    // Enter in one of the view's edit boxes: its value is set and sent.
    void Commit(HWND edit);
    // A button of a panel file went down (pressed) or up.
    void Press(HWND button, bool pressed);

    // The keyboard reached window (the focus came to it, or a key): in use,
    // in place and in sight.
    void Reached(HWND focus);

    // For tests and the benchmark: a widget's window (control or edit), kept
    // in place from then on, the text its received value shows, what a
    // read-out shows will be sent, a box's window (in place too), its
    // rectangle or a widget's part's (in its page's pixels, unscrolled).
    HWND Control(size_t widget, WidgetPart part);
    std::wstring Indicator(size_t widget) const;
    std::wstring ReadOut(size_t widget) const;
    std::wstring Label(size_t widget) const;
    HWND GroupControl(size_t box, GroupPart part);
    RECT BoxRect(size_t box) const;
    RECT PartRect(size_t widget, WidgetPart part) const;
    size_t WidgetCount() const { return widgets_.size(); }

private:
    struct Widget {
        const PanelWidget* definition;
        size_t tab;
        int group;                 // the model's
        int signal;                // in the group's message
        HWND control = nullptr, edit = nullptr;
        RECT drawn[kWidgetIds] = {};   // every part's place: page pixels, unscrolled
        bool inPlace = false;      // its windows: in use, else parked and drawn by the page
        bool kept = false;         // in place whatever is in use
        SliderScale scale;
        int position = -1;         // a slider's, as last set or moved
        bool pressed = false;      // a button's
        COLORREF colour = 0;       // the indicator's text
        std::wstring label, unit, shown;
        std::wstring sending;      // the automatic panel's read-out: what the next send carries
        // What the control and edit show as last set by the view: a
        // refresh compares with these, not with the windows.
        std::wstring editText, controlText;
        int choice = -2;           // a drop-down's selection
        int checked = -1;          // a toggle's
        bool lampOn = false;
        double onValue = 0;        // a toggle's "on" raw value
        bool stale = true;         // changed while out of sight: shown when it comes in
        // Parked, its windows are not told what it shows (each telling costs
        // trips to the server under a flood): they are when it comes into place.
        bool behind = false;
        bool typed = false;        // its edit's text typed and not sent, as it was parked
        LateMark mark;             // a panel file's: as its label shows it
    };
    struct Box {
        size_t first = 0, count = 0;   // its widgets
        HWND parts[kGroupIds] = {};
        RECT drawn = {};
        RECT placed[kGroupIds] = {};   // Send, Cyclic, period: page pixels, unscrolled
        bool inPlace[kGroupIds] = {};
        bool kept[kGroupIds] = {};
        std::wstring caption;
        LateMark mark;                 // as its caption shows it
    };

    bool MakeWidget(size_t index);
    bool MakeBox(size_t index);
    HWND Make(size_t tab, int id, const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle = 0);
    RECT Pixels(const DluRect& rect) const;
    // A window at content (page pixels), or parked to its left out of sight;
    // batch null: at once.
    void Place(HDWP* batch, HWND window, const RECT& content, bool inPlace, int scrollY, int extraHeight = 0);
    void PlaceWidget(HDWP* batch, const Widget& widget, int scrollY);
    // A spin box's up-down into its edit's right end, the edit narrowed: once
    // after each time the edit is placed.
    void AlignSpin(const Widget& widget);
    void LayoutWidget(HDWP* batch, Widget& widget, const DluRect& rect, bool twoLines, int scrollY);
    // window (a widget's or a box's) comes into use: in place, and the one
    // in use before parked (unless kept, or of the same widget).
    void Use(HWND window);
    void SetInPlace(HWND window, bool inPlace);

    void PaintPage(HWND page, HDC dc, const RECT& dirty, int scrollY) override;
    void PageScrolled(HWND page) override;
    void PageClicked(HWND page, POINT point, WPARAM keys) override;
    // A control's notification to its page, handled here (PanelViewInput.cpp).
    bool ChildNotified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // Whether a widget is on the tab shown and in its page's sight.
    bool InSight(const Widget& widget) const;
    void PaintWidget(HDC dc, const Widget& widget, const RECT& dirty, int scrollY);
    // A parked widget's inputs and a box's parked parts, as their windows stand.
    void PaintInputs(HDC dc, const Widget& widget, const RECT& dirty, int scrollY);
    void PaintBoxParts(HDC dc, const Box& box, const RECT& dirty, int scrollY);
    void Redraw(const Widget& widget, WidgetPart part);
    // A parked input's look changed: drawn again.
    void RedrawParked(const Widget& widget, WidgetPart part);
    void RedrawParkedPart(size_t box, GroupPart part);

    void ShowWidget(Widget& widget, HWND entered = nullptr);
    // An edit box's text, unless the user is typing in it (entered: just sent).
    void ShowEdit(Widget& widget, const std::wstring& value, HWND entered);
    // What a parked widget showed meanwhile, into its windows.
    void CatchUp(Widget& widget);
    void ShowBox(size_t box, int64_t nowMicros, int64_t startMicros);
    void ShowLateness(Widget& widget, int64_t nowMicros, int64_t startMicros);
    // Whether the user is typing in the widget's edit box: it has the focus
    // or holds text typed and not sent (a parked one: as it was parked).
    bool Typing(const Widget& widget) const;

    Widget* WidgetOf(HWND control);
    int BoxOf(HWND control, int* part) const;
    // The automatic panel's windows put in Tab's order: box by box in order.
    void OrderTabs(const std::vector<size_t>& order);
    void Changed(Widget& widget, HWND control, UINT code);
    void Scrolled(Widget& widget);
    void Stepped(Widget& widget, int delta);
    bool SetFromEdit(Widget& widget);
    bool SendBox(size_t box);
    COLORREF ColourOf(const Widget& widget, const DecodedSignal& decoded) const;

    HWND dialog_;
    PanelModel* model_;
    PanelActions* actions_;
    bool automatic_;
    HFONT font_;
    std::vector<std::unique_ptr<CPanelPage>> pages_;
    std::vector<Widget> widgets_;
    std::vector<Box> boxes_;             // the automatic panel's, one per model group
    std::vector<size_t> tabOrder_;       // the boxes in the order Tab visits them
    size_t shownTab_ = 0;
    HWND inUse_ = nullptr;               // the input last reached or clicked
    // While a refresh runs, what it asks to be painted again, per page: one
    // invalidation each at its end.
    bool batching_ = false;
    // While a refresh runs, asked once rather than per widget: the focus,
    // the capture, and what of the tab shown is in sight.
    HWND focus_ = nullptr, capture_ = nullptr;
    bool sightShown_ = false;
    int sightTop_ = 0, sightBottom_ = 0;
    std::vector<std::vector<RECT>> dirty_;
};
