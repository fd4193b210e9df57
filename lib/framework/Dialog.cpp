#include "framework/Dialog.h"
#include "framework/AfxHelpers.h"
#include "framework/WinApp.h"

#include <string.h>
#include <string>

namespace {

const WORD kDialogInitType = 240;        // RT_DLGINIT
const WORD kInitListBoxAddString = 0x0401;
const WORD kInitComboAddString = 0x0403;

template <typename T>
T ReadAt(const BYTE* data, size_t offset)
{
    T value;
    memcpy(&value, data + offset, sizeof value);
    return value;
}

// A template placed at (0, 0) without a placement style of its own is
// centred when it is shown.
bool TemplateAsksForCentring(const BYTE* data, size_t size)
{
    DWORD style = 0;
    short x = 0;
    short y = 0;
    if (size >= 26 && ReadAt<WORD>(data, 0) == 1 && ReadAt<WORD>(data, 2) == 0xFFFF) {
        // DLGTEMPLATEEX: version, signature, help id, extended style, style, count, x, y
        style = ReadAt<DWORD>(data, 12);
        x = ReadAt<short>(data, 18);
        y = ReadAt<short>(data, 20);
    } else if (size >= 18) {
        // DLGTEMPLATE: style, extended style, count, x, y
        style = ReadAt<DWORD>(data, 0);
        x = ReadAt<short>(data, 10);
        y = ReadAt<short>(data, 12);
    } else {
        return false;
    }
    return x == 0 && y == 0 && (style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) == 0;
}

const BYTE* FindTemplateResource(UINT id, WORD type, DWORD* size)
{
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE(id), MAKEINTRESOURCE(type));
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    if (loaded == nullptr)
        return nullptr;
    *size = SizeofResource(module, resource);
    return static_cast<const BYTE*>(LockResource(loaded));
}

} // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd),
      m_continueModal(false), m_modalResult(-1), m_centreWhenShown(false)
{
}

HWND CDialog::ModalOwner() const
{
    HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (owner == nullptr) {
        CWinApp* app = AfxGetApp();
        CWnd* mainWnd = app != nullptr ? app->m_pMainWnd : nullptr;
        if (mainWnd != nullptr && mainWnd != this)
            owner = mainWnd->m_hWnd;
    }
    return owner != nullptr ? GetAncestor(owner, GA_ROOT) : nullptr;
}

bool CDialog::CreateFromTemplate(HWND owner)
{
    DWORD size = 0;
    const BYTE* dialogTemplate = FindTemplateResource(m_nIDTemplate, 5 /* RT_DIALOG */, &size);
    if (dialogTemplate == nullptr || m_hWnd != nullptr)
        return false;
    m_centreWhenShown = TemplateAsksForCentring(dialogTemplate, size);
    HWND hWnd = CreateDialogIndirectParamW(AfxFindResourceHandle(MAKEINTRESOURCE(m_nIDTemplate), RT_DIALOG),
                                           reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate), owner,
                                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr && m_hWnd != nullptr;
}

BOOL CDialog::Create()
{
    if (!CreateFromTemplate(m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr))
        return FALSE;
    if (!IsWindowVisible(m_hWnd))
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
    return TRUE;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd != nullptr)
        return -1;
    HWND owner = ModalOwner();
    m_continueModal = true;
    m_modalResult = -1;
    if (!CreateFromTemplate(owner))
        return -1;

    bool ownerDisabled = owner != nullptr && IsWindowEnabled(owner) && !EnableWindow(owner, FALSE);
    // A template without WS_VISIBLE (the About box) is shown here.
    if (m_continueModal && !IsWindowVisible(m_hWnd))
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
    RunModalLoop();

    // Hide first so that activation goes back to the owner, not elsewhere.
    if (m_hWnd != nullptr)
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (ownerDisabled)
        EnableWindow(owner, TRUE);
    if (owner != nullptr && GetActiveWindow() == m_hWnd)
        SetActiveWindow(owner);
    if (m_hWnd != nullptr)
        DestroyWindow(m_hWnd);
    return m_modalResult;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    while (m_continueModal && m_hWnd != nullptr) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));   // leave it for the outer loop
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void CDialog::EndDialog(int nResult)
{
    m_modalResult = nResult;
    m_continueModal = false;
    // Wakes the loop when this runs inside a sent message.
    if (m_hWnd != nullptr)
        PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    // Everything after WM_INITDIALOG reaches us through our window procedure
    // first; what comes here has had no handler, and the dialog manager does
    // its default processing.
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    if (dialog == nullptr || dialog->m_hWnd != nullptr)
        return FALSE;
    try {
        return dialog->HandleInitDialog(hWnd);
    } catch (...) {
        AfxReportEscapedException("OnInitDialog");
        return TRUE;
    }
}

BOOL CDialog::HandleInitDialog(HWND hWnd)
{
    SubclassWindow(hWnd);
    if (m_centreWhenShown)
        CenterWindow();
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog()
{
    ExecuteDlgInit();
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::ExecuteDlgInit()
{
    DWORD size = 0;
    const BYTE* data = FindTemplateResource(m_nIDTemplate, kDialogInitType, &size);
    if (data == nullptr)
        return;
    // Records: 16-bit control id (0 ends), 16-bit message, 32-bit length, data.
    size_t offset = 0;
    while (offset + 8 <= size) {
        WORD control = ReadAt<WORD>(data, offset);
        if (control == 0)
            break;
        WORD message = ReadAt<WORD>(data, offset + 2);
        DWORD length = ReadAt<DWORD>(data, offset + 4);
        offset += 8;
        if (length > size - offset)
            break;
        std::string text(reinterpret_cast<const char*>(data + offset), length);
        text.resize(strlen(text.c_str()));   // the length counts the NUL
        offset += length;
        UINT addString = message == kInitComboAddString ? CB_ADDSTRING
                       : message == kInitListBoxAddString ? LB_ADDSTRING : 0;
        if (addString != 0)
            SendDlgItemMessageA(m_hWnd, control, addString, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void CDialog::CenterWindow()
{
    RECT window;
    GetWindowRect(m_hWnd, &window);
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO monitor;
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    const RECT& workArea = monitor.rcWork;
    RECT around = workArea;
    if (owner != nullptr && IsWindowVisible(owner) && !::IsIconic(owner))
        GetWindowRect(owner, &around);

    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    // Keep it on the work area, the top left corner first.
    if (x + width > workArea.right) x = workArea.right - width;
    if (y + height > workArea.bottom) y = workArea.bottom - height;
    if (x < workArea.left) x = workArea.left;
    if (y < workArea.top) y = workArea.top;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    return m_hWnd != nullptr && IsDialogMessageW(m_hWnd, pMsg);
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()
