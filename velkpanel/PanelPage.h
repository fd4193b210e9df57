// A page of a panel: a child window holding one tab's controls, scrolling
// them when they are taller than the window. Tab and the arrow keys reach
// its controls as if they were the dialog's own (WS_EX_CONTROLPARENT); what
// the controls tell their parent goes on to the panel window.
#pragma once
#include "framework/Framework.h"

class CPanelPage : public CWnd {
public:
    // A hidden page in dialog, with the id given. False when it cannot be made.
    bool Create(HWND dialog, int id);
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

    int m_contentHeight = 0;
    int m_scrollY = 0;
};
