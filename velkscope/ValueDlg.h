// A small modal dialog asking for one line of text: a recording's time
// offset, a pane's limits.
#pragma once
#include <string>

#include "framework/Framework.h"

class CValueDlg : public CDialog {
public:
    // prompt and value: what is asked and what the box starts with.
    CValueDlg(CWnd* parent, const std::wstring& prompt, const std::wstring& value);

    // IDOK with the text typed, or IDCANCEL.
    INT_PTR Ask(std::wstring* value);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    std::wstring m_prompt, m_value;

    DECLARE_MESSAGE_MAP()
};
