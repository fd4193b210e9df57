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

template <typename Slot>
void BindEntryPoint(HMODULE module, const char* name, Slot* slot)
{
    // Through the generic function type, which any function pointer converts to.
    typedef void (*AnyFunction)();
    *slot = reinterpret_cast<Slot>(reinterpret_cast<AnyFunction>(GetProcAddress(module, name)));
}

} // namespace

void CCorvaneDlg::ClearBusBinding()
{
    m_hBusLibrary = nullptr;
    m_pfnPostData = nullptr;
    m_pfnRegister = nullptr;
    m_pfnUnregister = nullptr;
    m_pfnGetPublicVar = nullptr;
    m_pfnSetPublicVar = nullptr;
    m_pfnGetp = nullptr;
    m_pfnGetInfo = nullptr;
}

bool CCorvaneDlg::LoadBusLibrary(const char* path)
{
    FreeBusLibrary();

    HMODULE module = AfxLoadLibrary(path);
    if (module == nullptr)
        return false;
    m_hBusLibrary = module;

    // Every name is looked up, even after one is missing.
    BindEntryPoint(module, "vPostData", &m_pfnPostData);
    BindEntryPoint(module, "vRegister", &m_pfnRegister);
    BindEntryPoint(module, "vUnregister", &m_pfnUnregister);
    BindEntryPoint(module, "vGetPublicVar", &m_pfnGetPublicVar);
    BindEntryPoint(module, "vSetPublicVar", &m_pfnSetPublicVar);
    BindEntryPoint(module, "vGetp", &m_pfnGetp);
    BindEntryPoint(module, "vGetInfo", &m_pfnGetInfo);

    if (m_pfnPostData && m_pfnRegister && m_pfnUnregister && m_pfnGetPublicVar &&
        m_pfnSetPublicVar && m_pfnGetp && m_pfnGetInfo) {
        UpdateSubscription();
        return true;
    }
    FreeBusLibrary();
    return false;
}

bool CCorvaneDlg::FreeBusLibrary()
{
    if (m_hBusLibrary == nullptr)
        return true;
    if (m_pfnUnregister != nullptr)
        m_pfnUnregister(m_hWnd);
    HMODULE module = m_hBusLibrary;
    ClearBusBinding();
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

    if (m_pfnRegister != nullptr)
        m_pfnRegister(m_hWnd, mask, kClientName);
    RefreshStatus();
}

void CCorvaneDlg::RefreshStatus()
{
    if (m_pfnGetInfo == nullptr)
        return;

    std::string version = CopyText(m_pfnGetInfo(kInfoVersion));
    std::string build = CopyText(m_pfnGetInfo(kInfoBuild));
    SetWindowText(FormatStatusTitle(version.c_str(), build.c_str()).c_str());

    m_handlesPane.SetWindowText(CopyText(m_pfnGetInfo(kInfoHandles)).c_str());
    m_varsPane.SetWindowText(CopyText(m_pfnGetInfo(kInfoVariables)).c_str());
    m_infoEdit.SetWindowText(CopyText(m_pfnGetInfo(kInfoFurther)).c_str());
}

void CCorvaneDlg::PostBusMessage(UINT code, LPARAM dataWord, int length)
{
    if (m_pfnPostData != nullptr)
        m_pfnPostData(m_hWnd, code, dataWord, length);
}
