// Data exchange between a dialog's controls and its fields, run by
// CWnd::UpdateData through the dialog's DoDataExchange.
//
// A failing step (not a number, out of range) tells the user, puts the focus
// on the control with its whole text selected, and stops the exchange: every
// later step does nothing, so fields before the failure hold their new values
// and fields after it their old ones.
#pragma once
#include "framework/String.h"

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* dlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;   // TRUE: controls into fields
    CWnd* m_pDlgWnd;

    bool Failed() const { return m_failed; }

    // The control of the current step, remembered for a later failure.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);

    // Shows the prompt, focuses and selects the last prepared control, and
    // stops the exchange.
    void Fail(const wchar_t* prompt);

private:
    HWND m_lastControl;
    bool m_lastIsEdit;
    bool m_failed;
};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control);   // first exchange only
void DDX_Text(CDataExchange* pDX, int id, UINT& value);          // unsigned decimal
void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minValue, UINT maxValue);
void DDX_CBString(CDataExchange* pDX, int id, CString& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);
