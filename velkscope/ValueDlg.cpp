#include "velkscope/ValueDlg.h"

#include "velkscope/resource.h"

CValueDlg::CValueDlg(CWnd* parent, const std::wstring& prompt, const std::wstring& value)
    : CDialog(IDD_VALUE, parent), m_prompt(prompt), m_value(value)
{
}

BEGIN_MESSAGE_MAP(CValueDlg, CDialog)
END_MESSAGE_MAP()

BOOL CValueDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemTextW(m_hWnd, IDC_VALUE_LABEL, m_prompt.c_str());
    SetDlgItemTextW(m_hWnd, IDC_VALUE_EDIT, m_value.c_str());
    HWND edit = GetDlgItem(m_hWnd, IDC_VALUE_EDIT);
    SetFocus(edit);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    return FALSE;   // the focus is set
}

void CValueDlg::OnOK()
{
    wchar_t text[256] = L"";
    GetDlgItemTextW(m_hWnd, IDC_VALUE_EDIT, text, 256);
    m_value = text;
    EndDialog(IDOK);
}

INT_PTR CValueDlg::Ask(std::wstring* value)
{
    const INT_PTR result = DoModal();
    if (result == IDOK)
        *value = m_value;
    return result;
}
