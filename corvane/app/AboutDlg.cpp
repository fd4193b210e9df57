#include "app/AboutDlg.h"

CAboutDlg::CAboutDlg()
    : CDialog(IDD)
{
}

CAboutDlg::~CAboutDlg()
{
}

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()
