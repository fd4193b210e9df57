// Modify: sets one public variable from the two small edits under the
// variables pane.
#include "app/CorvaneDlg.h"
#include "console/VariableText.h"

namespace {

// At most 31 characters count, as the edits are read into 32 bytes.
int32_t EditNumber(const CEdit& edit)
{
    char text[32];
    edit.GetWindowText(text, sizeof text);
    return ParseDecimalSaturating(text);
}

} // namespace

void CCorvaneDlg::OnModify()
{
    int32_t index = EditNumber(m_varIndexEdit);
    int32_t value = EditNumber(m_varValueEdit);
    if (m_bus.vSetPublicVar == nullptr)
        return;
    m_bus.vSetPublicVar(index, value);
    RefreshStatus();
}
