#include "velkscope/ScopeApp.h"

#include <string>
#include <vector>

#include <shellapi.h>

#include "velk/VelkLibrary.h"
#include "velk/VelkResults.h"
#include "client/BusBinding.h"
#include "client/ExitStatus.h"
#include "client/SignalsOption.h"
#include "velkscope/ScopeDlg.h"
#include "velkscope/ScopeOptions.h"
#include "velkscope/WideText.h"

namespace {

const wchar_t kUsage[] =
    L"velkscope [RECORDING ...] [--workspace FILE] [--code CODE ...] [--signals FILE] [--signal NAME ...] [--window D] [--mask M] [--array byte|word] [--bus NAME]\n\n"
    L"RECORDING\t打开记录 (velkctl record 的文件)\n\t\topen a recording (a file of velkctl record)\n"
    L"--workspace F\t打开工作区\n\t\topen a workspace\n"
    L"--code CODE\t画出此代码 (十六进制, 可重复, 最多 64 个)\n\t\tdraw this code (hex, repeatable, at most 64)\n"
    L"--signals FILE\t信号文件: 按信号画物理值 (默认 %VELK_SIGNALS%)\n\t\tsignal file: traces by signal, physical values (default %VELK_SIGNALS%)\n"
    L"--signal NAME\t画出此信号 (或报文的每个字段, 可重复)\n\t\tdraw this signal (or each field of a message; repeatable)\n"
    L"--window D\t时间窗, 1s 到 1h, 例如 10s, 2m (默认 10s)\n\t\ttime window, 1s to 1h, like 10s, 2m (default 10s)\n"
    L"--mask M\t订阅掩码 (默认 0x0080FF00, 全部类型)\n\t\tsubscription mask (default 0x0080FF00, every type)\n"
    L"--array W\t数组画首字节 (byte) 或首字 (word)\n\t\tarrays draw their first byte or first word\n"
    L"--bus NAME\t总线名 (默认 %VELK_BUS_NAME%)\n\t\tbus name (default %VELK_BUS_NAME%)";

// The arguments in the system code page; *lossy names the first one that
// page cannot hold (a bus name that would become another).
std::vector<std::string> CommandLineArguments(std::wstring* lossy)
{
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr)
        return args;
    for (int i = 1; i < count; ++i) {
        bool changed = false;
        args.push_back(AfxNarrowFromWide(argv[i], wcslen(argv[i]), &changed));
        if (changed && lossy->empty())
            *lossy = argv[i];
    }
    LocalFree(argv);
    return args;
}

} // namespace

CScopeApp::CScopeApp()
    : CWinApp("velkscope"), m_exitCode(kExitOk), m_bus()
{
}

CScopeApp::~CScopeApp()
{
}

BEGIN_MESSAGE_MAP(CScopeApp, CWinApp)
END_MESSAGE_MAP()

BOOL CScopeApp::InitInstance()
{
    ScopeOptions options;
    std::string error;
    std::wstring lossy;
    std::vector<std::string> args = CommandLineArguments(&lossy);
    if (!lossy.empty() || !ParseScopeArguments(args, &options, &error)) {
        std::wstring bad = !lossy.empty() ? L"'" + lossy + L"' holds characters the system code page cannot hold"
                                          : AfxWideFromNarrow(error.c_str());
        AfxMessageBox((L"命令行有误 bad command line:\n" + bad + L"\n\n" + kUsage).c_str(), MB_OK | MB_ICONERROR);
        m_exitCode = kExitUsage;
        return FALSE;
    }
    if (options.help) {
        AfxMessageBox(kUsage, MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    if (!options.busName.empty())
        SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, options.busName.c_str());

    // A recording or workspace can be looked at without the bus.
    const bool files = !options.recordings.empty() || !options.workspace.empty();
    int status = kVelkOk;
    if (!LoadBus(&m_bus, &error) || (status = BusStatus(m_bus)) != kVelkOk) {
        if (status != kVelkOk)
            error = VelkResultText(status);
        FreeBus(&m_bus);
        m_bus = BusBinding();
        if (!files) {
            AfxMessageBox((L"无法使用总线 no bus: " + AfxWideFromNarrow(error.c_str())).c_str(), MB_OK | MB_ICONERROR);
            m_exitCode = kExitNoBus;
            return FALSE;
        }
    }
    m_scope.reset(new CScopeDlg(options, m_bus));
    const std::string signalsFile = SignalsFileToLoad(options.signalsFile);
    std::wstring signalErrors;
    if (!signalsFile.empty() && !m_scope->OpenSignals(AfxWideFromNarrow(signalsFile.c_str()), &signalErrors)) {
        AfxMessageBox((L"信号文件有误 bad signal file:\n" + signalErrors).c_str(), MB_OK | MB_ICONERROR);
        m_exitCode = kExitUsage;
        return FALSE;
    }
    if (!m_scope->TickSignals(options.signalNames, &error)) {
        AfxMessageBox((L"命令行有误 bad command line:\n--signal: " + WideFromUtf8(error) + L"\n\n" + kUsage).c_str(),
                      MB_OK | MB_ICONERROR);
        m_exitCode = kExitUsage;
        return FALSE;
    }
    std::wstring failure;
    if (!m_scope->Start(&failure)) {
        AfxMessageBox(failure.c_str(), MB_OK | MB_ICONERROR);
        m_exitCode = kExitRefused;
        return FALSE;
    }
    if (!m_scope->OpenFromOptions(&failure)) {
        AfxMessageBox(failure.c_str(), MB_OK | MB_ICONERROR);
        m_exitCode = kExitUsage;
        return FALSE;
    }
    m_scope->QuitOnClose();
    m_pMainWnd = m_scope.get();
    return TRUE;
}

int CScopeApp::ExitInstance()
{
    m_pMainWnd = nullptr;
    m_scope.reset();   // leaves the bus before the library goes
    FreeBus(&m_bus);
    return m_exitCode;
}
