#include "velkpanel/PanelApp.h"

#include <string>
#include <vector>

#include "client/ExitStatus.h"
#include "client/ProgramMessages.h"
#include "client/SignalsOption.h"
#include "client/WindowArguments.h"
#include "velkpanel/PanelDlg.h"
#include "velkpanel/PanelOptions.h"
#include "windows/WideText.h"

namespace {

const wchar_t kUsage[] =
    L"velkpanel [--signals FILE] [--panel FILE] [--bus NAME]\n\n"
    L"--signals FILE\t信号文件: 每个报文一组控件 (默认 %VELK_SIGNALS%)\n\t\tsignal file: a group of controls per message (default %VELK_SIGNALS%)\n"
    L"--panel FILE\t面板文件: 按网格布置的控件 (其信号文件由 signals 指定)\n\t\tpanel file: widgets on a grid (its signal file named by its signals key)\n"
    L"--bus NAME\t总线名 (默认 %VELK_BUS_NAME%)\n\t\tbus name (default %VELK_BUS_NAME%)";

} // namespace

CPanelApp::CPanelApp()
    : CWindowProgramApp("velkpanel")
{
}

BOOL CPanelApp::InitInstance()
{
    PanelOptions options;
    std::string error;
    if (!ParsePanelArguments(CommandLineArguments(), &options, &error)) {
        AfxMessageBox((L"命令行有误 bad command line:\n" + WideFromUtf8(LocalizedUtf8(error, "\n")) + L"\n\n" + kUsage).c_str(), MB_OK | MB_ICONERROR);
        return Fail(kExitUsage);
    }
    if (options.help) {
        AfxMessageBox(kUsage, MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    if (!AttachBus(options.busName, &m_bus, &error)) {
        AfxMessageBox((L"无法使用总线 no bus: " + LocalizedReason(error)).c_str(), MB_OK | MB_ICONERROR);
        return Fail(kExitNoBus);
    }
    CPanelDlg* panel = new CPanelDlg(m_bus);
    m_window.reset(panel);
    // Nothing starts from a bad file: every mistake is shown, and the program ends.
    std::vector<std::string> errors;
    const std::wstring signals = WideFromUtf8(options.signalsFile);
    int opened = kExitOk;
    const wchar_t* what = L"";
    if (!options.panelFile.empty()) {
        what = L"面板文件有误 bad panel file:\n";
        opened = panel->OpenPanel(WideFromUtf8(options.panelFile), signals, &errors);
    } else if (!SignalsFileToLoad(signals).empty()) {
        what = L"信号文件有误 bad signal file:\n";
        opened = panel->OpenSignals(SignalsFileToLoad(signals), &errors);
    }
    if (opened != kExitOk) {
        AfxMessageBox((what + ErrorLines(errors)).c_str(), MB_OK | MB_ICONERROR);
        return Fail(opened);
    }
    std::wstring failure;
    if (!panel->Start(&failure)) {
        AfxMessageBox(failure.c_str(), MB_OK | MB_ICONERROR);
        return Fail(kExitRefused);
    }
    panel->QuitOnClose();
    return Run(panel);
}
