// The main dialog's one binding to the bus library.
#include "app/CorvaneDlg.h"
#include "bus/StatusTitle.h"
#include "bus/SubscriptionMask.h"

#include <string>

namespace {

const char kClientName[] = "test";

// The library's texts belong to it until our next call: copy at once.
std::string CopyText(const char* text)
{
    return text != nullptr ? std::string(text) : std::string();
}

} // namespace

bool CCorvaneDlg::LoadBusLibrary(const char* path)
{
    FreeBusLibrary();

    HMODULE module = AfxLoadLibrary(path);
    if (module == nullptr)
        return false;
    // Every name is looked up, even after one is missing.
    if (BindEntryPoints(module, &m_bus)) {
        UpdateSubscription();
        return true;
    }
    FreeBusLibrary();
    return false;
}

bool CCorvaneDlg::FreeBusLibrary()
{
    if (m_bus.module == nullptr)
        return true;
    // Only when found, although a window whose binding failed never registered.
    if (m_bus.vUnregister != nullptr)
        m_bus.vUnregister(m_hWnd);
    HMODULE module = m_bus.module;
    m_bus = BusBinding();
    AfxFreeLibrary(module);
    return true;
}

void CCorvaneDlg::UpdateSubscription()
{
    UpdateData(TRUE);   // after a failed step the flags keep their previous values

    const struct { int id; int flag; } boxes[] = {
        { IDC_DEP, m_bDep }, { IDC_ADC, m_bAdc }, { IDC_WTC, m_bWtc },
        { IDC_CNT, m_bCnt }, { IDC_TMR, m_bTmr }, { IDC_STR, m_bStr },
        { IDC_ARR, m_bArr }, { IDC_CTL, m_bCtl }, { IDC_ABS, m_bAbs },
    };
    UINT mask = 0;
    for (const auto& box : boxes) {
        if (box.flag)
            mask |= SubscriptionBitOf(box.id);
    }

    if (m_bus.vRegister != nullptr)
        m_bus.vRegister(m_hWnd, mask, kClientName);
    RefreshStatus();
}

void CCorvaneDlg::RefreshStatus()
{
    if (m_bus.vGetInfo == nullptr)
        return;

    std::string version = CopyText(m_bus.vGetInfo(kInfoVersion));
    std::string build = CopyText(m_bus.vGetInfo(kInfoBuild));
    SetWindowText(FormatStatusTitle(version.c_str(), build.c_str()).c_str());

    m_handlesPane.SetWindowText(CopyText(m_bus.vGetInfo(kInfoHandles)).c_str());
    m_varsPane.SetWindowText(CopyText(m_bus.vGetInfo(kInfoVariables)).c_str());
    m_infoEdit.SetWindowText(CopyText(m_bus.vGetInfo(kInfoFurther)).c_str());
}

void CCorvaneDlg::PostBusMessage(UINT code, LPARAM dataWord, int length)
{
    if (m_bus.vPostData != nullptr)
        m_bus.vPostData(m_hWnd, code, dataWord, length);
}
