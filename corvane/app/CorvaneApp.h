// The application object: runs the main dialog and filters Enter and Escape.
#pragma once
#include "framework/Framework.h"

class CCorvaneApp : public CWinApp {
public:
    CCorvaneApp();
    ~CCorvaneApp() override;

    // Runs the main dialog modally; always FALSE, so no loop of our own follows.
    BOOL InitInstance() override;

    // Drops the key-downs of Enter and Escape: neither dialog closes on them
    // and no control sees them. Everything else goes to the base.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    DECLARE_MESSAGE_MAP()
};
