// A page of a panel: a child window holding one tab's controls, scrolling
// them when they are taller than the window. Tab and the arrow keys reach
// its controls as if they were the dialog's own (WS_EX_CONTROLPARENT); what
// the controls tell their parent goes straight to the part of the view that
// handles input, and only what that leaves on to the panel window.
#pragma once
#include "framework/Framework.h"

// Draws what a page shows besides its controls (names, units, received
// values, lamps, bars, boxes): text costs no window of its own.
class PagePainter {
public:
    virtual ~PagePainter() {}
    // dirty in the page's client pixels; what the page holds is scrollY higher.
    virtual void PaintPage(HWND page, HDC dc, const RECT& dirty, int scrollY) = 0;
    // Other parts of what the page holds came into sight.
    virtual void PageScrolled(HWND page) = 0;
    // The left button went down on the page itself (at point, its client
    // pixels; keys as WM_LBUTTONDOWN's): on an input it draws, perhaps.
    virtual void PageClicked(HWND page, POINT point, WPARAM keys) = 0;
};

// Takes what a page's controls tell their parent (WM_COMMAND, WM_NOTIFY,
// WM_HSCROLL, a control's WM_VSCROLL, WM_CTLCOLOR*): true when it was one of
// its controls', with what the page should return in *result.
class PageInput {
public:
    virtual ~PageInput() {}
    virtual bool ChildNotified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
};

class CPanelPage : public CWnd {
public:
    // A hidden page in dialog, with the id given, painted by painter, its
    // controls' notifications to input (both outlive it). False when it
    // cannot be made.
    bool Create(HWND dialog, int id, PagePainter* painter, PageInput* input);
    // A part of what the page holds, in its pixels, to be painted again.
    void InvalidateContent(const RECT& content);
    // Whether a part of what the page holds is in sight now.
    bool InSight(const RECT& content) const;
    // What is in sight: content from *top to *bottom (pixels); false when
    // the page is hidden.
    bool Sight(int* top, int* bottom) const;
    // What the page holds, in pixels: the scroll bar's range.
    void SetContentHeight(int pixels);
    int ScrollY() const { return m_scrollY; }
    // Scrolls just enough for child (a control of this page) to be in sight.
    void ScrollIntoView(HWND child);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ScrollTo(int y);
    int PageHeight() const;
    // WM_PAINT and WM_PRINTCLIENT: the face, then the painter.
    void Paint(HDC dc, const RECT& dirty);

    PagePainter* m_painter = nullptr;
    PageInput* m_input = nullptr;
    int m_contentHeight = 0;
    int m_scrollY = 0;
};
