// The command line's help, or what was wrong with it and the help: a box
// of a fixed size whose text scrolls, in the window's own font (the message
// box's smaller CJK font draws no hyphen, so "--signals" would read as
// "signals").
#pragma once
#include <string>

#include "framework/Framework.h"

class CUsageDlg : public CDialog {
public:
    explicit CUsageDlg(const std::wstring& text);
    ~CUsageDlg() override;

protected:
    BOOL OnInitDialog() override;

private:
    std::wstring m_text;
    HFONT m_font;

    DECLARE_MESSAGE_MAP()
};
