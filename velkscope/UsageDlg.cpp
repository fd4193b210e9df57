#include "velkscope/UsageDlg.h"

#include "velkscope/resource.h"

CUsageDlg::CUsageDlg(const std::wstring& text) : CDialog(IDD_USAGE, nullptr), m_text(text), m_font(nullptr)
{
}

CUsageDlg::~CUsageDlg()
{
    if (m_font != nullptr)
        DeleteObject(m_font);
}

BEGIN_MESSAGE_MAP(CUsageDlg, CDialog)
END_MESSAGE_MAP()

BOOL CUsageDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The 13-pixel strikes draw the hyphens the 12-pixel ones leave out.
    m_font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"SimSun");
    HWND text = GetDlgItem(m_hWnd, IDC_USAGE_TEXT);
    ::SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    // An edit control breaks lines at CR LF.
    std::wstring lines;
    for (wchar_t c : m_text)
        lines += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    SetWindowTextW(text, lines.c_str());
    SetFocus(GetDlgItem(m_hWnd, IDOK));
    return FALSE;   // the focus is set
}
