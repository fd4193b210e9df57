// flood_bench: velk.dll floods a console in this process at rising rates, 10 s
// each; then the same console with its log view hidden (nothing to paint);
// then a receiver that only counts. Per rate it prints what was sent, the lines logged (or messages
// counted) per second while the flood ran, the backlog left when it stopped,
// what never arrived, the bus's dropped deliveries and the working set.
//   flood_bench [RATE...]            default rates 500 1000 2000 5000 10000
//   flood_bench --send RATE SECONDS  (the sender, started by the bench itself)
// Asserts nothing.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>

#include "app/CorvaneApp.h"
#include "app/CorvaneDlg.h"
#include "bench/flood/FloodSender.h"
#include "velk/VelkLibrary.h"

CCorvaneApp theApp;

namespace {

const unsigned kFloodSeconds = 10;
const DWORD kStallMs = 3000;        // the drain is over when nothing arrives for this long
const DWORD kMaxDrainMs = 300000;

// Asked of the console's GUI thread through a window of that thread, so the
// console and the bench never use the library or the dialog side by side.
enum ProbeRequest {
    kProbeLineCount = WM_APP + 1,   // lines the log view has taken
    kProbeDialog,                   // the main dialog's handle
    kProbeInfo,                     // wParam: selector; lParam: std::string* to fill
};

HWND g_probe;
HANDLE g_probeReady;

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* mainWnd = AfxGetApp()->m_pMainWnd;
    CCorvaneDlg* dialog = static_cast<CCorvaneDlg*>(mainWnd);
    switch (message) {
    case kProbeLineCount:
        if (dialog == nullptr || dialog->m_hWnd == nullptr)
            return 0;
        return static_cast<LRESULT>(dialog->m_logView.Ring().FirstLineNumber() +
                                    static_cast<uint32_t>(dialog->m_logView.Ring().WriteIndex()));
    case kProbeDialog:
        return reinterpret_cast<LRESULT>(dialog != nullptr ? dialog->m_hWnd : nullptr);
    case kProbeInfo:
        *reinterpret_cast<std::string*>(lParam) = vGetInfo(static_cast<int>(wParam));
        return 1;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

DWORD WINAPI ConsoleThread(void*)
{
    WNDCLASSA probeClass;
    ZeroMemory(&probeClass, sizeof probeClass);
    probeClass.lpfnWndProc = ProbeProc;
    probeClass.hInstance = GetModuleHandleA(nullptr);
    probeClass.lpszClassName = "FloodProbe";
    RegisterClassA(&probeClass);
    g_probe = CreateWindowExA(0, "FloodProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetEvent(g_probeReady);
    AfxGetApp()->InitInstance();
    return 0;
}

LRESULT AskConsole(UINT request, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(g_probe, request, wParam, lParam, SMTO_NORMAL, 30000, &result);
    return static_cast<LRESULT>(result);
}

// The receiver that does not paint: counts WM_BUS_MESSAGE and nothing else.
volatile LONG g_quietCount;
HWND g_quiet;
HANDLE g_quietReady;

LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_BUS_MESSAGE) {
        InterlockedIncrement(&g_quietCount);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI QuietThread(void*)
{
    WNDCLASSA quietClass;
    ZeroMemory(&quietClass, sizeof quietClass);
    quietClass.lpfnWndProc = QuietProc;
    quietClass.hInstance = GetModuleHandleA(nullptr);
    quietClass.lpszClassName = "FloodQuiet";
    RegisterClassA(&quietClass);
    g_quiet = CreateWindowExA(0, "FloodQuiet", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetEvent(g_quietReady);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

// What a receiver has taken so far.
typedef uint32_t (*TakenCount)();
uint32_t ConsoleLines() { return static_cast<uint32_t>(AskConsole(kProbeLineCount)); }
uint32_t QuietMessages() { return static_cast<uint32_t>(InterlockedCompareExchange(&g_quietCount, 0, 0)); }

unsigned long long Counter(const std::string& counters, const char* name)
{
    std::string key = std::string(name) + " ";
    size_t at = counters.find(key);
    return at == std::string::npos ? 0 : strtoull(counters.c_str() + at + key.size(), nullptr, 10);
}

std::string BusCounters()
{
    std::string text;
    AskConsole(kProbeInfo, kInfoFurther, reinterpret_cast<LPARAM>(&text));
    return text;
}

struct Sender {
    HANDLE process;
    HANDLE output;
};

bool StartSender(unsigned rate, Sender* sender)
{
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    char commandLine[MAX_PATH + 64];
    snprintf(commandLine, sizeof commandLine, "\"%s\" --send %u %u", program, rate, kFloodSeconds);

    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&sender->output, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(sender->output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started;
    BOOL ok = CreateProcessA(program, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
    CloseHandle(writeEnd);
    if (!ok) {
        CloseHandle(sender->output);
        return false;
    }
    CloseHandle(started.hThread);
    sender->process = started.hProcess;
    return true;
}

// The sender's report: messages posted and the seconds it took.
bool SenderReport(Sender* sender, long long* posted, double* seconds)
{
    char text[128] = "";
    DWORD got = 0;
    ReadFile(sender->output, text, sizeof text - 1, &got, nullptr);
    text[got] = '\0';
    CloseHandle(sender->output);
    CloseHandle(sender->process);
    return sscanf(text, "%lld %lf", posted, seconds) == 2;
}

double SecondsSince(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Figures {
    long long posted;
    double sentPerSecond;
    double takenPerSecond;      // while the flood ran
    long long backlog;          // posted but not yet taken when the flood stopped
    double drainSeconds;
    long long lost;             // never taken
    unsigned long long dropped; // deliveries the bus could not post
    double workingSetMb, peakMb;
};

// Until the receiver has taken nothing for a while: what an earlier flood
// left queued must not count for this one.
void WaitUntilIdle(TakenCount taken)
{
    uint32_t last = taken();
    DWORD lastChange = GetTickCount();
    while (GetTickCount() - lastChange < 1000) {
        Sleep(50);
        uint32_t now = taken();
        if (now != last) {
            last = now;
            lastChange = GetTickCount();
        }
    }
}

bool Flood(unsigned rate, TakenCount taken, Figures* figures)
{
    WaitUntilIdle(taken);
    std::string before = BusCounters();
    uint32_t start = taken();
    Sender sender;
    if (!StartSender(rate, &sender))
        return false;

    // The flood's own clock starts with the first message taken.
    LARGE_INTEGER first = {};
    bool started = false;
    while (WaitForSingleObject(sender.process, 20) == WAIT_TIMEOUT) {
        if (!started && taken() != start) {
            QueryPerformanceCounter(&first);
            started = true;
        }
    }
    uint32_t atEnd = taken() - start;
    double floodSeconds = started ? SecondsSince(first) : 0.0;
    double sendSeconds = 0;
    if (!SenderReport(&sender, &figures->posted, &sendSeconds))
        return false;

    LARGE_INTEGER drainStart;
    QueryPerformanceCounter(&drainStart);
    uint32_t last = taken() - start;
    DWORD lastChange = GetTickCount();
    while (last < figures->posted && GetTickCount() - lastChange < kStallMs &&
           SecondsSince(drainStart) * 1000 < kMaxDrainMs) {
        Sleep(20);
        uint32_t now = taken() - start;
        if (now != last) {
            last = now;
            lastChange = GetTickCount();
        }
    }

    PROCESS_MEMORY_COUNTERS memory;
    ZeroMemory(&memory, sizeof memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::string after = BusCounters();

    figures->sentPerSecond = sendSeconds > 0 ? figures->posted / sendSeconds : 0;
    figures->takenPerSecond = floodSeconds > 0 ? atEnd / floodSeconds : 0;
    figures->backlog = figures->posted - atEnd;
    figures->drainSeconds = last >= figures->posted ? SecondsSince(drainStart) : -1;
    figures->lost = figures->posted - last;
    figures->dropped = Counter(after, "dropped") - Counter(before, "dropped");
    figures->workingSetMb = memory.WorkingSetSize / 1048576.0;
    figures->peakMb = memory.PeakWorkingSetSize / 1048576.0;
    return true;
}

void PrintFigures(const char* receiver, unsigned rate, const Figures& f)
{
    printf("%-8s %7u %9.0f %9.0f %9lld %8.1f %7lld %8llu %7.1f %7.1f\n", receiver, rate, f.sentPerSecond,
           f.takenPerSecond, f.backlog, f.drainSeconds, f.lost, f.dropped, f.workingSetMb, f.peakMb);
    fflush(stdout);
}

// Sustained without loss: everything arrived, nothing dropped, and the
// receiver kept pace while the flood ran (a backlog under 2% of it).
bool NoLoss(const Figures& f)
{
    return f.lost == 0 && f.dropped == 0 && f.backlog * 50 <= f.posted;
}

// Ticks or clears the box as a click does; the console then re-registers.
void RunRate(const char* receiver, unsigned rate, TakenCount taken, unsigned* best)
{
    Figures figures;
    if (!Flood(rate, taken, &figures)) {
        fprintf(stderr, "flood_bench: the sender failed at %u/s\n", rate);
        return;
    }
    PrintFigures(receiver, rate, figures);
    if (NoLoss(figures) && rate > *best)
        *best = rate;
}

void ClickConsoleBox(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "--send") == 0)
        return RunSender(static_cast<unsigned>(atoi(argv[2])), static_cast<unsigned>(atoi(argv[3])));

    std::vector<unsigned> rates;
    for (int i = 1; i < argc; ++i)
        rates.push_back(static_cast<unsigned>(atoi(argv[i])));
    if (rates.empty())
        rates = { 500, 1000, 2000, 5000, 10000 };

    // A bus of our own, which the senders inherit.
    char busName[64];
    snprintf(busName, sizeof busName, "flood-%lu", GetCurrentProcessId());
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, busName);
    if (velkBusStatus() != kVelkOk) {   // the first call attaches, to the bus just named
        fprintf(stderr, "flood_bench: no bus\n");
        return 2;
    }

    g_probeReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CreateThread(nullptr, 0, ConsoleThread, nullptr, 0, nullptr);
    WaitForSingleObject(g_probeReady, 30000);
    HWND dialog = nullptr;
    for (int i = 0; i < 3000 && (dialog == nullptr || !IsWindowVisible(dialog)); ++i) {
        Sleep(10);
        dialog = reinterpret_cast<HWND>(AskConsole(kProbeDialog));
    }
    if (dialog == nullptr) {
        fprintf(stderr, "flood_bench: the console did not start\n");
        return 2;
    }

    printf("value messages, %u s per rate; taken/s while the flood ran; backlog when it stopped;\n"
           "drain s until the rest arrived (-1: it never did); lost never arrived; dropped by the bus\n\n",
           kFloodSeconds);
    printf("%-8s %7s %9s %9s %9s %8s %7s %8s %7s %7s\n", "receiver", "rate", "sent/s", "taken/s", "backlog",
           "drain s", "lost", "dropped", "WS MB", "peak MB");

    unsigned consoleBest = 0, hiddenBest = 0, quietBest = 0;
    ClickConsoleBox(dialog, IDC_DEP);   // the console subscribes to Depth
    for (unsigned rate : rates)
        RunRate("console", rate, ConsoleLines, &consoleBest);

    // The same console with its log view hidden: the loop, the handler and
    // AddLine's bookkeeping, but nothing to paint.
    ShowWindow(GetDlgItem(dialog, IDC_LOG), SW_HIDE);
    for (unsigned rate : rates)
        RunRate("hidden", rate, ConsoleLines, &hiddenBest);
    ShowWindow(GetDlgItem(dialog, IDC_LOG), SW_SHOW);
    ClickConsoleBox(dialog, IDC_DEP);   // and leaves the rest to the quiet receiver

    g_quietReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE quietThread = CreateThread(nullptr, 0, QuietThread, nullptr, 0, nullptr);
    WaitForSingleObject(g_quietReady, 30000);
    vRegister(g_quiet, kFloodMask, "quiet");
    for (unsigned rate : rates)
        RunRate("quiet", rate, QuietMessages, &quietBest);
    vUnregister(g_quiet);
    PostMessageA(g_quiet, WM_CLOSE, 0, 0);
    PostThreadMessageA(GetThreadId(quietThread), WM_QUIT, 0, 0);

    printf("\nhighest rate without loss: console %u/s, console with its log view hidden %u/s, quiet receiver %u/s\n",
           consoleBest, hiddenBest, quietBest);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}
