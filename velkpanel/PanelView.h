// The controls of a panel: made from its widgets as ordinary child
// controls (Tab reaches each one, a slider moves by the arrow keys and
// PgUp/PgDn), laid out in dialog units, shown from the model, and read when
// the user changes one. What a change means (set a signal and send its
// message, send, cyclic on or off) the window carries out (PanelActions).
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

// What the view asks of the window, by the model's group index; each says
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

// Control ids: IDC_FIRST_WIDGET + widget x kWidgetIds + part, the groups'
// (the automatic panel's boxes) IDC_FIRST_GROUP + group x kGroupIds + part.
enum WidgetPart { kPartLabel, kPartControl, kPartEdit, kPartUnit, kPartIndicator, kWidgetIds = 8 };
enum GroupPart { kPartBox, kPartSend, kPartCyclic, kPartPeriod, kGroupIds = 4 };

class PanelView {
public:
    // The automatic panel draws a box per message with Send and Cyclic; a
    // panel file's widgets stand on its grid. All outlive the view.
    PanelView(HWND dialog, PanelModel* model, PanelActions* actions, bool automatic);
    ~PanelView();   // the pages and their controls go
    PanelView(const PanelView&) = delete;
    PanelView& operator=(const PanelView&) = delete;

    // Makes a page per tab and every control; false when a window could not be made.
    bool Build();
    // The pages fill area (the window's client pixels); the controls are
    // laid out for its width.
    void Layout(const RECT& area);
    void ShowTab(size_t tab);
    size_t ShownTab() const { return shownTab_; }
    CPanelPage* Page(size_t tab) { return tab < pages_.size() ? pages_[tab].get() : nullptr; }

    // Shows what changed since the last time: received values, what each
    // control will send, late groups, lamps. all: every control.
    void Refresh(int64_t nowMicros, int64_t startMicros, bool all);

    // A message a control sent its page; true when it was one of the view's,
    // with what the window should return in *result.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Enter in one of the view's edit boxes: its value is set and sent.
    void Commit(HWND edit);
    // A button of a panel file went down (pressed) or up.
    void Press(HWND button, bool pressed);

    // The first control of widget (its trackbar, box, button...), and the
    // part of a group: for tests and the benchmark.
    HWND Control(size_t widget, WidgetPart part) const;
    HWND GroupControl(size_t group, GroupPart part) const;
    size_t WidgetCount() const { return widgets_.size(); }

private:
    struct Widget {
        const PanelWidget* spec;
        size_t tab;
        int group;                 // the model's
        int signal;                // in the group's message
        HWND parts[kWidgetIds] = {};
        SliderScale scale;
        int position = -1;         // a slider's, as last set or moved
        bool pressed = false;      // a button's
        COLORREF colour = 0;       // the indicator's text
        std::wstring shown;        // the indicator's text
        bool lampOn = false;
        double onPhysical = 0;     // a toggle's "on" value, decoded
        bool onIsText = false;
        std::string onText;
    };
    struct Group {
        size_t first = 0, count = 0;   // its widgets
        HWND parts[kGroupIds] = {};
        bool late = false;
        bool shownOnce = false;
    };

    bool MakeWidget(size_t index);
    bool MakeGroup(size_t index);
    HWND Make(size_t tab, int id, const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle = 0);
    RECT Pixels(const DluRect& rect, int scrollY) const;
    void Place(HDWP* batch, HWND window, const DluRect& rect, int scrollY, int extraHeight = 0);
    void LayoutWidget(HDWP* batch, Widget& widget, const DluRect& rect, bool twoLines, int scrollY);

    // entered: an edit box whose value was just taken, shown anew though it has the focus.
    void ShowWidget(Widget& widget, HWND entered = nullptr);
    void ShowGroup(size_t group, int64_t nowMicros, int64_t startMicros);
    bool Editing(HWND edit) const;
    void SetText(HWND window, const std::wstring& text);

    Widget* WidgetOf(HWND control, int* part);
    int GroupOf(HWND control, int* part) const;
    void Changed(Widget& widget, HWND control, int part, UINT code);
    void Scrolled(Widget& widget);
    void Stepped(Widget& widget, int delta);
    bool SetFromEdit(Widget& widget);
    bool SendBox(size_t box);
    void DrawGauge(const Widget& widget, const DRAWITEMSTRUCT& item);
    COLORREF ColourOf(const Widget& widget, const DecodedSignal& decoded) const;

    HWND dialog_;
    PanelModel* model_;
    PanelActions* actions_;
    bool automatic_;
    HFONT font_;
    std::vector<std::unique_ptr<CPanelPage>> pages_;
    std::vector<Widget> widgets_;
    std::vector<Group> groups_;          // the automatic panel's boxes, one per model group
    size_t shownTab_ = 0;
    RECT area_ = {};
};
