#include "framework/DataExchange.h"
#include "framework/AfxHelpers.h"
#include "common/NumberText.h"
#include "framework/Wnd.h"

#include <stdio.h>
#include <string>

namespace {

const wchar_t kPromptNumber[] = L"请输入一个整数。";

std::wstring RangePrompt(UINT minValue, UINT maxValue)
{
    return L"请输入一个介于 " + std::to_wstring(minValue) + L" 和 " + std::to_wstring(maxValue) + L" 之间的整数。";
}

std::string ControlText(HWND control)
{
    int length = GetWindowTextLengthA(control);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(control, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

} // namespace

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return dx.Failed() ? FALSE : TRUE;
}

CDataExchange::CDataExchange(CWnd* dlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(dlgWnd),
      m_lastControl(nullptr), m_lastIsEdit(false), m_failed(false)
{
}

HWND CDataExchange::PrepareCtrl(int id)
{
    m_lastControl = GetDlgItem(m_pDlgWnd->m_hWnd, id);
    m_lastIsEdit = false;
    return m_lastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id)
{
    HWND control = PrepareCtrl(id);
    m_lastIsEdit = true;
    return control;
}

void CDataExchange::Fail(const wchar_t* prompt)
{
    m_failed = true;
    AfxMessageBox(prompt, MB_OK | MB_ICONEXCLAMATION);
    if (m_lastControl == nullptr)
        return;
    // Through the dialog manager, so the dialog also remembers the new focus.
    SendMessageW(m_pDlgWnd->m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_lastControl), TRUE);
    if (m_lastIsEdit)
        SendMessageW(m_lastControl, EM_SETSEL, 0, -1);
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (pDX->Failed() || control.m_hWnd != nullptr)
        return;
    control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlgWnd);
}

void DDX_Text(CDataExchange* pDX, int id, UINT& value)
{
    if (pDX->Failed())
        return;
    HWND control = pDX->PrepareEditCtrl(id);
    if (control == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        uint32_t parsed = 0;
        if (!ParseUnsignedDecimal(ControlText(control).c_str(), &parsed)) {
            pDX->Fail(kPromptNumber);
            return;
        }
        value = parsed;
    } else {
        char text[16];
        snprintf(text, sizeof text, "%u", value);
        SetWindowTextA(control, text);
    }
}

void DDX_Text(CDataExchange* pDX, int id, CString& value)
{
    if (pDX->Failed())
        return;
    HWND control = pDX->PrepareEditCtrl(id);
    if (control == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        value = ControlText(control);
    else
        SetWindowTextA(control, value);
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minValue, UINT maxValue)
{
    if (pDX->Failed() || !pDX->m_bSaveAndValidate)
        return;
    if (value < minValue || value > maxValue)
        pDX->Fail(RangePrompt(minValue, maxValue).c_str());
}

void DDX_CBString(CDataExchange* pDX, int id, CString& value)
{
    if (pDX->Failed())
        return;
    HWND control = pDX->PrepareCtrl(id);
    if (control == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        value = ControlText(control);   // the edit part: any typed text
    } else {
        LRESULT found = SendMessageA(control, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(value.GetString()));
        if (found == CB_ERR)
            SetWindowTextA(control, value);
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    if (pDX->Failed())
        return;
    HWND control = pDX->PrepareCtrl(id);
    if (control == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0));
    else
        SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}
