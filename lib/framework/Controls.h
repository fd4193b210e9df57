// Wrappers of the standard controls the dialogs attach with DDX_Control.
#pragma once
#include "framework/Wnd.h"

class CStatic : public CWnd {
};

class CEdit : public CWnd {
public:
    // end -1 selects to the end of the text.
    void SetSel(int start, int end) { ::SendMessageA(m_hWnd, EM_SETSEL, static_cast<WPARAM>(start), end); }
};
