// A dialog from a template resource, run modally by our own loop.
#pragma once
#include "framework/Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Creates the dialog, disables its owner, and runs a message loop in
    // which every message goes to the application's PreTranslateMessage
    // first, until EndDialog; then the window is destroyed. Returns the
    // EndDialog result, or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    // Creates the dialog modeless and shows it; its messages come through
    // the thread's own loop (CWinApp::Run). FALSE when it could not be made.
    BOOL Create();

    // Fills the combo boxes from the template's dialog-initialisation
    // resource, then copies fields into controls (UpdateData(FALSE)). TRUE:
    // the system focuses the first tab stop.
    virtual BOOL OnInitDialog();

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    virtual void OnOK();       // ends with IDOK only when UpdateData(TRUE) succeeds
    virtual void OnCancel();   // ends with IDCANCEL, no exchange

    // Over the owner when it is shown, else on the work area.
    void CenterWindow();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL HandleInitDialog(HWND hWnd);
    HWND ModalOwner() const;
    bool CreateFromTemplate(HWND owner);
    void RunModalLoop();
    void ExecuteDlgInit();

    bool m_continueModal;
    INT_PTR m_modalResult;
    bool m_centreWhenShown;

    DECLARE_MESSAGE_MAP()
};
