// Send, Send Str, Send Arr and StopAll: the four buttons that put messages on
// the bus. Each logs its line before it posts, so a message the library hands
// back during vPostData is logged after the outgoing one.
#include "app/CorvaneDlg.h"
#include "common/ArrayText.h"
#include "common/Escapes.h"
#include "protocol/LogLines.h"
#include "protocol/MessageCode.h"
#include "windows/SystemLeadByte.h"

namespace {

const wchar_t kUseTheFieldsBelow[] = L"请使用下面的参数发送!";

} // namespace

void CCorvaneDlg::OnSend()
{
    // The verdict is not consulted: after a failed range check the channel
    // holds what was read and the later fields keep their previous values.
    UpdateData(TRUE);

    UINT code = ComposeCode(m_strDir, m_strType, m_nChannel);
    if (IsPayloadShapedValue(code)) {
        // A value with a string or array code would be read as a payload address.
        AfxMessageBox(kUseTheFieldsBelow, MB_OK, 0);
        return;
    }
    m_logView.AddLine(FormatSentValue(code, m_nValue).c_str());
    PostBusMessage(code, static_cast<LPARAM>(m_nValue), 4);
}

void CCorvaneDlg::OnSendStr()
{
    UpdateData(TRUE);

    UINT code = kStringCode | m_nChannel;
    m_logView.AddLine(FormatSentString(code, m_strText.str()).c_str());
    // The field becomes the unescaped text; the edit control keeps what was typed.
    m_strText = UnescapeText(m_strText.str(), IsSystemLeadByte);
    PostBusMessage(code, reinterpret_cast<LPARAM>(m_strText.GetString()), m_strText.GetLength());
}

void CCorvaneDlg::OnSendArr()
{
    UpdateData(TRUE);
    if (m_strArray.IsEmpty())
        return;

    unsigned char bytes[kMaxArrayBytes];
    int count = ParseArrayText(m_strArray, bytes);
    UINT code = kArrayCode | m_nChannel;
    m_logView.AddLine(FormatSentArray(code, bytes, count).c_str());
    PostBusMessage(code, reinterpret_cast<LPARAM>(bytes), count);
}

void CCorvaneDlg::OnStopAll()
{
    PostBusMessage(kStopAllCode, 0, 0);
}
