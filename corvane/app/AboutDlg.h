// The About box: template 100, nothing of its own to handle.
#pragma once
#include "framework/Framework.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

    enum { IDD = IDD_ABOUTBOX };

    DECLARE_MESSAGE_MAP()
};
