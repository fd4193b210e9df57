#include "velkpanel/PanelStatus.h"

#include <inttypes.h>

#include "common/FormatText.h"
#include "windows/WideText.h"

void PanelStatus::SetNote(const std::wstring& note)
{
    note_ = note;
    Show();
}

void PanelStatus::Show()
{
    if (line_ == nullptr)
        return;
    std::wstring text = note_;
    text += WideFromUtf8(FormatText("  \xc2\xb7  ")) + L"已发送 sent " + WideFromUtf8(FormatText("%" PRIu64, counts_->sent)) +
            L"  收到 received " + WideFromUtf8(FormatText("%" PRIu64, counts_->received));
    if (counts_->lateCyclic != 0)
        text += L"  周期发送落后 late cyclic sends " + WideFromUtf8(FormatText("%" PRIu64, counts_->lateCyclic));
    SetWindowTextW(line_, text.c_str());
}
