#include "velkscope/ScopeApp.h"

#include <string>
#include <vector>

#include "client/ExitStatus.h"
#include "client/SignalsOption.h"
#include "client/WindowArguments.h"
#include "velkscope/ScopeDlg.h"
#include "velkscope/ScopeOptions.h"
#include "velkscope/UsageDlg.h"
#include "client/ProgramMessages.h"
#include "common/FormatText.h"
#include "windows/WideText.h"

namespace {

// The help box: each option on a line of its own, its words indented
// under it (a table's tabs wrap under the CJK font and hide the dashes).
struct OptionHelp {
    const char* option;
    const char* words;
};
const OptionHelp kOptionHelp[] = {
    { "RECORDING", N_("open a recording (a file of velkctl record, .gz too, or a series of parts by its first part, "
                      "the FILE given to record --split, a glob or its folder)") },
    { "--workspace FILE", N_("open a workspace") },
    { "--code CODE", N_("draw this code (hex, repeatable, at most 64)") },
    { "--signals FILE", N_("signal file: traces by signal, physical values (default %VELK_SIGNALS%)") },
    { "--signal NAME", N_("draw this signal (or each field of a message; repeatable)") },
    { "--window D", N_("time window, 1s to 1h, like 10s, 2m (default 10s)") },
    { "--mask M", N_("subscription mask (default 0x0080FF00, every type)") },
    { "--array W", N_("arrays draw their first byte (byte) or first word (word)") },
    { "--bus NAME", N_("bus name (default %VELK_BUS_NAME%)") },
};

std::wstring Usage()
{
    std::string text = "velkscope [RECORDING ...] [--workspace FILE] [--code CODE ...] [--signals FILE]\n"
                       "          [--signal NAME ...] [--window D] [--mask M] [--array byte|word] [--bus NAME]\n";
    for (const OptionHelp& option : kOptionHelp)
        text += std::string("\n") + option.option + "\n    " + LocalizedUtf8(option.words, "\n    ") + "\n";
    return WideFromUtf8(text);
}

// A message box's text: the Chinese, a blank line, the English.
std::wstring Said(const std::string& utf8)
{
    return WideFromUtf8(LocalizedUtf8(utf8, "\n\n"));
}

} // namespace

CScopeApp::CScopeApp()
    : CWindowProgramApp("velkscope")
{
}

BOOL CScopeApp::InitInstance()
{
    ScopeOptions options;
    std::string error;
    if (!ParseScopeArguments(CommandLineArguments(), &options, &error)) {
        CUsageDlg(Said(std::string(N_("bad command line")) + ": " + error) + L"\n\n" + Usage()).DoModal();
        return Fail(kExitUsage);
    }
    if (options.help) {
        CUsageDlg(Usage()).DoModal();
        return FALSE;
    }
    // A recording or workspace can be looked at without the bus.
    const bool files = !options.recordings.empty() || !options.workspace.empty();
    if (!AttachBus(options.busName, &m_bus, &error) && !files) {
        AfxMessageBox(Said(FormatText(N_("no bus: %s"), error.c_str())).c_str(), MB_OK | MB_ICONERROR);
        return Fail(kExitNoBus);
    }
    CScopeDlg* scope = new CScopeDlg(options, m_bus);
    m_window.reset(scope);
    const std::wstring signalsFile = SignalsFileToLoad(WideFromUtf8(options.signalsFile));
    std::wstring signalErrors;
    if (!signalsFile.empty() && !scope->OpenSignals(signalsFile, &signalErrors)) {
        AfxMessageBox((Said(N_("bad signal file:")) + L"\n" + signalErrors).c_str(), MB_OK | MB_ICONERROR);
        return Fail(kExitUsage);
    }
    if (!scope->TickSignals(options.signalNames, &error)) {
        CUsageDlg(Said(std::string(N_("bad command line")) + ": --signal: " + error) + L"\n\n" + Usage()).DoModal();
        return Fail(kExitUsage);
    }
    std::wstring failure;
    if (!scope->Start(&failure)) {
        AfxMessageBox(failure.c_str(), MB_OK | MB_ICONERROR);
        return Fail(kExitRefused);
    }
    if (!scope->OpenFromOptions(&failure)) {
        AfxMessageBox(failure.c_str(), MB_OK | MB_ICONERROR);
        return Fail(kExitUsage);
    }
    scope->QuitOnClose();
    return Run(scope);
}
