// The console's main dialog (template 102). It owns the bus binding, the
// bound fields, the log view and the icon.
#pragma once
#include "client/BusBinding.h"
#include "framework/Framework.h"
#include "logview/OwnerDrawStatic.h"
#include "res/resource.h"

class CCorvaneDlg : public CDialog {
public:
    explicit CCorvaneDlg(CWnd* pParent = nullptr);
    ~CCorvaneDlg() override;

    enum { IDD = IDD_CORVANE_DIALOG };

    // Bus binding (bus/BusBinding.cpp).
    bool LoadBusLibrary(const char* path);   // false: not loadable, or an entry point missing
    bool FreeBusLibrary();                   // unregisters and releases; harmless when unbound
    void UpdateSubscription();               // re-registers with the mask of the nine boxes
    void RefreshStatus();                    // title and panes from the library's texts
    void PostBusMessage(UINT code, LPARAM dataWord, int length);   // the one way to post
    bool IsBusBound() const { return m_bus.module != nullptr; }

private:
    // The module handle and the seven entry points: all set or all null.
    BusBinding m_bus;

public:
    // Control wrappers, attached by the first data exchange.
    COwnerDrawStatic m_logView;    // 1048
    CEdit m_varIndexEdit;          // 1040
    CEdit m_varValueEdit;          // 1041
    CStatic m_handlesPane;         // 1037
    CStatic m_varsPane;            // 1036

    // Bound fields: what the controls showed at the last UpdateData(TRUE).
    UINT m_nChannel;               // 1018, 0 to 255
    UINT m_nValue;                 // 1001
    CString m_strDir;              // 1021
    CString m_strType;             // 1022
    CString m_strText;             // 1023
    CString m_strArray;            // 1024
    int m_bAdc;                    // 1030; the flags are 0 or 1
    int m_bCnt;                    // 1032
    int m_bDep;                    // 1029
    int m_bTmr;                    // 1033
    int m_bWtc;                    // 1031
    int m_bArr;                    // 1044
    int m_bCtl;                    // 1045
    int m_bStr;                    // 1043
    int m_bAbs;                    // 1046

    HICON m_hIcon;                 // icon 128

    CEdit m_infoEdit;              // 1052

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    BOOL OnQueryEndSession();
    void OnEndSession(BOOL bEnding);
    void OnClear();

    // Messaging (console/): incoming messages, the send commands, Modify and
    // the session broadcast.
    LRESULT OnBusMessage(WPARAM wParam, LPARAM lParam);
    void OnSend();
    void OnSendStr();
    void OnSendArr();
    void OnStopAll();
    void OnModify();
    void OnBroadcastEndSession();

    DECLARE_MESSAGE_MAP()
};
