// panel_bench: velkpanel's window in this process on a bus of its own,
// against receivers and a sender in processes of their own. Prints
// figures; asserts nothing.
//   panel_bench [CHANGES]                 default 1000
//   panel_bench --paint                   (part 2 only)
//   panel_bench --receive SECONDS         (a receiver: each message's arrival time)
//   panel_bench --send COUNT RATE         (a sender: the 500-control panel's codes, RATE a second)
// 1. Latency: a slider moved by a key (WM_KEYDOWN to its trackbar) CHANGES
//    times, 200 a second; each change's time against its message's arrival
//    at a receiver, on the one high-resolution clock every process shares.
// 2. Paint: a panel of 500 controls (100 value and 80 array messages) and a
//    panel file of 500 widgets, built, then painted whole 20 times; the
//    windows one paint reaches, those in sight, the page's own drawing.
// 3. Refresh: the 500-control panel while a sender floods its codes at the
//    bus's top rate (velk_bench's figure for value messages, measured in
//    the same run): messages taken, refreshes of the received values a
//    second, the bus's losses, how long after the last send the window is done.
// 4. Cyclic: 20 messages every 10 ms for 10 s, their arrivals at a receiver
//    measured as docs/velkctl.md measures --every: each code's arrivals
//    against deadlines every period from their median offset.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "client/BusBinding.h"
#include "common/FormatText.h"
#include "protocol/BusCounters.h"
#include "velk/VelkLibrary.h"
#include "velkpanel/PanelDlg.h"

namespace {

const int kValueMessages = 100, kArrayMessages = 80;
const int kCyclicMessages = 20;
const int kCyclicSeconds = 10;

double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::wstring TempPath(const char* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + std::wstring(name, name + strlen(name));
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    fwrite(text.data(), 1, text.size(), file);
    return fclose(file) == 0;
}

// 100 value messages with limits (sliders), then 80 arrays of 5 fields: a
// u8 slider, an enum, a bool, an i16 spin box, a 1-bit toggle.
std::string FiveHundredSignals()
{
    std::string text;
    for (int i = 0; i < kValueMessages; ++i)
        text += FormatText("[[message]]\ncode = \"%08x\"\nname = \"v%d\"\nperiod = \"1s\"\nunit = \"rpm\"\nscale = 0.25\nmin = 0\nmax = 3000\n",
                           0x20001000 + i, i);
    for (int i = 0; i < kArrayMessages; ++i)
        text += FormatText("[[message]]\ncode = \"%08x\"\nname = \"a%d\"\nperiod = \"1s\"\n"
                           "[[message.field]]\nname = \"level\"\nbyte = 0\ntype = \"u8\"\nmin = 0\nmax = 200\n"
                           "[[message.field]]\nname = \"mode\"\nbyte = 1\nbits = 4\ntype = \"u8\"\nenum = { 0 = \"off\", 1 = \"on\", 2 = \"auto\" }\n"
                           "[[message.field]]\nname = \"valve\"\nbyte = 1\nbit = 4\ntype = \"bool\"\n"
                           "[[message.field]]\nname = \"temperature\"\nbyte = 2\ntype = \"i16\"\nendian = \"little\"\nscale = 0.1\n"
                           "[[message.field]]\nname = \"flag\"\nbyte = 4\nbits = 1\ntype = \"u8\"\n",
                           0x30000400 + i, i);
    return text;
}

// The same 500 signals on a grid of 10 columns.
std::string FiveHundredWidgets()
{
    std::string text = "[panel]\ntitle = \"bench\"\n[[panel.tab]]\nname = \"t\"\n";
    static const char* const kFields[] = { "level", "mode", "valve", "temperature", "flag" };
    static const char* const kTypes[] = { "slider", "dropdown", "toggle", "spin", "value" };
    int n = 0;
    for (int i = 0; i < kValueMessages; ++i, ++n)
        text += FormatText("[[panel.tab.widget]]\ntype = \"%s\"\nsignal = \"v%d\"\nrow = %d\ncol = %d\n",
                           i % 2 == 0 ? "slider" : "bar", i, n / 10 + 1, n % 10 + 1);
    for (int i = 0; i < kArrayMessages; ++i) {
        for (int f = 0; f < 5; ++f, ++n)
            text += FormatText("[[panel.tab.widget]]\ntype = \"%s\"\nsignal = \"a%d.%s\"\nrow = %d\ncol = %d\n", kTypes[f], i,
                               kFields[f], n / 10 + 1, n % 10 + 1);
    }
    return text;
}

std::string CyclicSignals()
{
    std::string text;
    for (int i = 0; i < kCyclicMessages; ++i)
        text += FormatText("[[message]]\ncode = \"%08x\"\nname = \"c%d\"\nperiod = \"10ms\"\nmin = 0\nmax = 100\n", 0x20002000 + i, i);
    return text;
}

struct Child {
    HANDLE process = nullptr;
    HANDLE output = nullptr;
};

bool Start(const std::string& arguments, Child* child, const char* program = "panel_bench.exe")
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&child->output, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(child->output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string line = "\"" + ProgramFolder() + program + "\" " + arguments;
    PROCESS_INFORMATION started;
    BOOL ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
    CloseHandle(writeEnd);
    if (!ok)
        return false;
    CloseHandle(started.hThread);
    child->process = started.hProcess;
    return true;
}

std::string Finish(Child* child)
{
    std::string text;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(child->output, chunk, sizeof chunk, &got, nullptr) && got > 0)
        text.append(chunk, got);
    WaitForSingleObject(child->process, INFINITE);
    CloseHandle(child->output);
    CloseHandle(child->process);
    return text;
}

void Pump(double seconds)
{
    const double until = Seconds() + seconds;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    } while (Seconds() < until);
}

size_t Clients(const BusBinding& bus)
{
    const std::string lines = bus.vGetInfo(kInfoHandles);
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), '\n'));
}

bool WaitForClients(const BusBinding& bus, size_t count)
{
    for (int i = 0; i < 600; ++i) {
        if (Clients(bus) >= count)
            return true;
        Pump(0.05);
    }
    return false;
}

struct Arrival {
    double seconds;
    uint32_t code;
    int32_t value;
};

std::vector<Arrival> Arrivals(const std::string& text)
{
    std::vector<Arrival> arrivals;
    const char* at = text.c_str();
    Arrival arrival;
    unsigned code = 0;
    int used = 0;
    while (sscanf(at, "%lf %x %d\n%n", &arrival.seconds, &code, &arrival.value, &used) == 3 && used > 0) {
        arrival.code = code;
        arrivals.push_back(arrival);
        at += used;
    }
    return arrivals;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())))];
}

uint64_t Change(const CounterValues& before, const CounterValues& after, const char* name)
{
    auto from = before.find(name), to = after.find(name);
    return from == before.end() || to == after.end() ? 0 : to->second - from->second;
}

std::unique_ptr<CPanelDlg> OpenPanel(const BusBinding& bus, const std::wstring& signals, const std::wstring& panelFile,
                                     double* seconds)
{
    const double started = Seconds();
    std::unique_ptr<CPanelDlg> panel(new CPanelDlg(bus));
    std::vector<std::string> errors;
    const int opened = panelFile.empty() ? panel->OpenSignals(signals, &errors) : panel->OpenPanel(panelFile, signals, &errors);
    std::wstring failure;
    if (opened != 0 || !panel->Start(&failure)) {
        fprintf(stderr, "panel_bench: the panel did not open: %s\n", errors.empty() ? "" : errors[0].c_str());
        return nullptr;
    }
    SetWindowPos(panel->m_hWnd, nullptr, 0, 0, 1600, 1200, SWP_NOZORDER);
    Pump(0.05);
    *seconds = Seconds() - started;
    return panel;
}

// 1. A slider's key to the message on the bus.
void Latency(const BusBinding& bus, int changes)
{
    const std::wstring signals = TempPath("panel-bench-rig.toml");
    WriteText(signals, CyclicSignals());
    double opened = 0;
    std::unique_ptr<CPanelDlg> panel = OpenPanel(bus, signals, std::wstring(), &opened);
    if (panel == nullptr)
        return;
    Child receiver;
    const double seconds = changes / 200.0 + 5;
    if (!Start(FormatText("--receive %.0f", seconds), &receiver) || !WaitForClients(bus, 2))
        return;
    HWND slider = panel->View()->Control(0, kPartControl);
    std::vector<double> changed;
    const double started = Seconds();
    for (int i = 0; i < changes; ++i) {
        // Up and back down: c0 between 0.25 and 0.5 ... stays in range.
        changed.push_back(Seconds());
        ::SendMessageW(slider, WM_KEYDOWN, i % 2 == 0 ? VK_RIGHT : VK_LEFT, 0);
        ::SendMessageW(slider, WM_KEYUP, i % 2 == 0 ? VK_RIGHT : VK_LEFT, 0);
        Pump(std::max(0.0, started + (i + 1) / 200.0 - Seconds()));
    }
    const std::vector<Arrival> arrivals = Arrivals(Finish(&receiver));
    std::vector<double> latencies;
    for (size_t i = 0; i < arrivals.size() && i < changed.size(); ++i)
        latencies.push_back((arrivals[i].seconds - changed[i]) * 1000);
    printf("1. control change to the bus: %d slider steps by key, 200 a second; %zu arrived at a receiver\n", changes,
           arrivals.size());
    printf("   latency: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", Percentile(latencies, 0.5), Percentile(latencies, 0.99),
           latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end()));
    DeleteFileW(signals.c_str());
}

// The windows a whole paint reaches: counted by a hook on this thread.
struct PaintCounts {
    int paints = 0, erases = 0, frames = 0;
};
PaintCounts g_counts;

LRESULT CALLBACK CountPaints(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        g_counts.paints += message->message == WM_PAINT;
        g_counts.erases += message->message == WM_ERASEBKGND;
        g_counts.frames += message->message == WM_NCPAINT;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

double PaintMillis(HWND window)
{
    const double started = Seconds();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return (Seconds() - started) * 1000;
}

// WM_PAINT, WM_ERASEBKGND and WM_NCPAINT of one whole paint (WM_PAINT is
// sent by RDW_UPDATENOW, so the hook sees it).
PaintCounts CountOnePaint(HWND window)
{
    g_counts = PaintCounts();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountPaints, nullptr, GetCurrentThreadId());
    PaintMillis(window);
    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
    return g_counts;
}

// The page's child windows in its sight: each paints itself.
size_t WindowsInSight(HWND page)
{
    RECT client;
    GetClientRect(page, &client);
    size_t count = 0;
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect, both;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
        count += IntersectRect(&both, &rect, &client) != FALSE;
    }
    return count;
}

void PaintOf(CPanelDlg& panel, const char* what, double opened)
{
    std::vector<double> paints;
    for (int i = 0; i < 20; ++i) {
        paints.push_back(PaintMillis(panel.m_hWnd));
        Pump(0.01);
    }
    const PaintCounts counts = CountOnePaint(panel.m_hWnd);
    // The page's own drawing alone (its children are clipped out).
    std::vector<double> own;
    for (int i = 0; i < 10; ++i) {
        const double started = Seconds();
        RedrawWindow(panel.View()->Page(0)->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        own.push_back((Seconds() - started) * 1000);
    }
    const size_t inSight = WindowsInSight(panel.View()->Page(0)->m_hWnd);
    // Scrolled to the end and painted there.
    CPanelPage* page = panel.View()->Page(0);
    ::SendMessageW(page->m_hWnd, WM_VSCROLL, SB_BOTTOM, 0);
    const double scrolled = PaintMillis(panel.m_hWnd);
    size_t windows = 0;
    for (HWND child = GetWindow(page->m_hWnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        ++windows;
    printf("   %s: %zu widgets in %zu windows, opened in %.0f ms; painted whole (1600 x 1200): median %.1f ms, "
           "slowest %.1f ms; scrolled to the end %.1f ms\n", what, panel.View()->WidgetCount(), windows, opened * 1000,
           Percentile(paints, 0.5), *std::max_element(paints.begin(), paints.end()), scrolled);
    printf("   one whole paint: WM_PAINT %d, WM_ERASEBKGND %d, WM_NCPAINT %d; windows in sight %zu; the page's own drawing %.1f ms\n",
           counts.paints, counts.erases, counts.frames, inSight, Percentile(own, 0.5));
}

// velk_bench's throughput of bus value messages, now, on this machine.
double TopRate()
{
    Child bench;
    if (!Start("20000 200", &bench, "velk_bench.exe"))
        return 0;
    const std::string report = Finish(&bench);
    const size_t at = report.find("bus value");
    return at == std::string::npos ? 0 : atof(report.c_str() + at + 9);
}

// 2 and 3: 500 controls; without a flood, 2 only.
void FiveHundred(const BusBinding& bus, long long flood)
{
    const std::wstring signals = TempPath("panel-bench-500.toml"), widgets = TempPath("panel-bench-500-panel.toml");
    WriteText(signals, FiveHundredSignals());
    WriteText(widgets, FiveHundredWidgets());
    printf("2. paint of 500 controls:\n");
    double opened = 0;
    {
        std::unique_ptr<CPanelDlg> grid = OpenPanel(bus, signals, widgets, &opened);
        if (grid != nullptr)
            PaintOf(*grid, "panel file", opened);
    }
    std::unique_ptr<CPanelDlg> panel = OpenPanel(bus, signals, std::wstring(), &opened);
    if (panel == nullptr)
        return;
    PaintOf(*panel, "automatic panel", opened);
    ::SendMessageW(panel->View()->Page(0)->m_hWnd, WM_VSCROLL, SB_TOP, 0);
    // What one refresh of every control costs when each has changed.
    std::vector<double> refreshes;
    for (int i = 0; i < 10; ++i) {
        for (size_t g = 0; g < panel->Model()->GroupCount(); ++g)
            panel->Model()->Group(g).changed = true;
        const double started = Seconds();
        panel->Refresh(false);
        refreshes.push_back((Seconds() - started) * 1000);
    }

    if (flood == 0) {
        printf("   one refresh of all 500 controls %.1f ms\n", Percentile(refreshes, 0.5));
        return;
    }
    const double rate = TopRate();
    CounterValues before = ParseCounters(bus.vGetInfo(kInfoFurther));
    Child sender;
    if (rate <= 0 || !Start(FormatText("--send %lld %.0f", flood, rate), &sender)) {
        printf("3. no top rate from velk_bench, or no sender\n");
        return;
    }
    const uint64_t refreshesBefore = panel->Refreshes(), receivedBefore = panel->Received();
    const double started = Seconds();
    double lastSecond = started, slowest = 1e9, senderDone = 0, windowDone = 0;
    uint64_t lastRefreshes = refreshesBefore;
    std::string report;
    // Until the sender is done and the window has taken all it was sent.
    while (Seconds() - started < 300) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
            if (Seconds() - lastSecond >= 1.0)
                break;
        }
        const double now = Seconds();
        if (now - lastSecond >= 1.0) {
            slowest = std::min(slowest, (panel->Refreshes() - lastRefreshes) / (now - lastSecond));
            lastRefreshes = panel->Refreshes();
            lastSecond = now;
        }
        if (senderDone == 0 && WaitForSingleObject(sender.process, 0) == WAIT_OBJECT_0) {
            senderDone = now;
            report = Finish(&sender);
        }
        if (senderDone != 0 && GetQueueStatus(QS_POSTMESSAGE) == 0) {
            windowDone = now;
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    const double took = Seconds() - started;
    const CounterValues after = ParseCounters(bus.vGetInfo(kInfoFurther));
    printf("3. the 500-control panel under a flood of its codes at the bus's top rate, %.0f a second (velk_bench, "
           "this run; sender: %s", rate, report.c_str());
    printf("   refreshes of the received values: %.1f a second on average, %.1f in the slowest whole second; "
           "one of all 500 controls %.1f ms\n", (panel->Refreshes() - refreshesBefore) / took, slowest, Percentile(refreshes, 0.5));
    printf("   the window took %llu messages, done %.2f s after the last send\n",
           static_cast<unsigned long long>(panel->Received() - receivedBefore), windowDone - senderDone);
    printf("   bus: posted +%llu, delivered +%llu, dropped +%llu, expired +%llu\n",
           static_cast<unsigned long long>(Change(before, after, "posted")),
           static_cast<unsigned long long>(Change(before, after, "delivered")),
           static_cast<unsigned long long>(Change(before, after, "dropped")),
           static_cast<unsigned long long>(Change(before, after, "expired")));
    DeleteFileW(signals.c_str());
    DeleteFileW(widgets.c_str());
}

// 4. 20 cyclic groups every 10 ms.
void Cyclic(const BusBinding& bus)
{
    const std::wstring signals = TempPath("panel-bench-cyclic.toml");
    WriteText(signals, CyclicSignals());
    double opened = 0;
    std::unique_ptr<CPanelDlg> panel = OpenPanel(bus, signals, std::wstring(), &opened);
    if (panel == nullptr)
        return;
    Child receiver;
    if (!Start(FormatText("--receive %d", kCyclicSeconds + 3), &receiver) || !WaitForClients(bus, 2))
        return;
    for (int i = 0; i < kCyclicMessages; ++i)
        ::SendMessageW(panel->View()->GroupControl(static_cast<size_t>(i), kPartCyclic), BM_CLICK, 0, 0);
    Pump(kCyclicSeconds);
    for (int i = 0; i < kCyclicMessages; ++i)
        ::SendMessageW(panel->View()->GroupControl(static_cast<size_t>(i), kPartCyclic), BM_CLICK, 0, 0);
    const uint64_t missed = panel->Model()->Cyclic().Missed();
    std::map<uint32_t, std::vector<double>> byCode;
    for (const Arrival& arrival : Arrivals(Finish(&receiver)))
        byCode[arrival.code].push_back(arrival.seconds * 1e6);
    std::vector<double> errors;
    double worstDrift = 0;
    size_t messages = 0;
    for (const auto& code : byCode) {
        const std::vector<double>& times = code.second;
        messages += times.size();
        if (times.size() < 100)
            continue;
        // As velkctl_bench timing: each arrival against a deadline every
        // period from the median offset; drift, last tenth against first.
        // The panel passes over a deadline it finds more than a period late
        // (it sends once, and counts it), so deadlines are not numbered in
        // arrival order: each arrival is measured against the deadline
        // nearest it (an error above half a period folds back), and the
        // deadlines passed over are the panel's own count.
        std::vector<double> offsets;
        for (size_t i = 0; i < times.size(); ++i) {
            const double elapsed = times[i] - times[0];
            offsets.push_back(elapsed - 10000.0 * floor(elapsed / 10000.0 + 0.5));
        }
        const double anchor = Percentile(offsets, 0.5);
        for (double offset : offsets)
            errors.push_back(fabs(offset - anchor));
        const size_t tenth = offsets.size() / 10;
        const double drift = Percentile(std::vector<double>(offsets.end() - tenth, offsets.end()), 0.5) -
                             Percentile(std::vector<double>(offsets.begin(), offsets.begin() + tenth), 0.5);
        worstDrift = fabs(drift) > fabs(worstDrift) ? drift : worstDrift;
    }
    printf("4. cyclic: %d messages every 10 ms for %d s: %zu arrived of %zu codes (%d expected), deadlines missed %llu\n",
           kCyclicMessages, kCyclicSeconds, messages, byCode.size(), kCyclicMessages * kCyclicSeconds * 100,
           static_cast<unsigned long long>(missed));
    printf("   error against each code's deadlines: p50 %.0f us, p99 %.0f us, max %.0f us; worst drift %+.0f us\n",
           Percentile(errors, 0.5), Percentile(errors, 0.99), errors.empty() ? 0 : *std::max_element(errors.begin(), errors.end()),
           worstDrift);
    DeleteFileW(signals.c_str());
}

// The receiver: every message's arrival, code and value, for seconds.
int Receive(const BusBinding& bus, double seconds)
{
    HWND window = CreateWindowExA(0, "STATIC", "panel receiver", 0, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr || bus.vRegister(window, kAllTypeBits, "panel_bench") < 0)
        return 1;
    std::vector<Arrival> arrivals;
    arrivals.reserve(300000);
    const double until = Seconds() + seconds;
    while (Seconds() < until) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_BUS_MESSAGE) {
                arrivals.push_back(Arrival{ Seconds(), static_cast<uint32_t>(message.wParam),
                                            static_cast<int32_t>(static_cast<intptr_t>(message.lParam)) });
            } else {
                DispatchMessageA(&message);
            }
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    bus.vUnregister(window);
    std::string text;
    for (const Arrival& arrival : arrivals)
        text += FormatText("%.7f %08x %d\n", arrival.seconds, static_cast<unsigned>(arrival.code), arrival.value);
    fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

// The sender: count messages round robin over the 500-control panel's
// codes, rate a second, catching up with the schedule every millisecond.
int Send(const BusBinding& bus, long long count, double rate)
{
    HWND window = CreateWindowExA(0, "STATIC", "panel sender", 0, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr)
        return 1;
    const int codes = kValueMessages + kArrayMessages;
    const double started = Seconds();
    for (long long i = 0; i < count; ++i) {
        while (i >= (Seconds() - started) * rate)
            Sleep(1);
        const int code = static_cast<int>(i % codes);
        if (code < kValueMessages) {
            bus.vPostData(window, 0x20001000 + static_cast<UINT>(code), static_cast<LPARAM>(i % 12000), 4);
        } else {
            const unsigned char bytes[5] = { static_cast<unsigned char>(i % 200), static_cast<unsigned char>(0x10 | (i % 3)),
                                             static_cast<unsigned char>(i), 0, static_cast<unsigned char>(i & 1) };
            bus.vPostData(window, 0x30000400 + static_cast<UINT>(code - kValueMessages), reinterpret_cast<LPARAM>(bytes), 5);
        }
    }
    const double took = Seconds() - started;
    printf("%lld messages in %.2f s, %.0f a second)\n", count, took, count / took);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool child = (argc == 3 && strcmp(argv[1], "--receive") == 0) || (argc == 4 && strcmp(argv[1], "--send") == 0);
    if (!child) {
        char name[64];
        snprintf(name, sizeof name, "panelbench-%lu", GetCurrentProcessId());
        SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, name);
    }
    BusBinding bus;
    std::string error;
    if (!LoadBus(&bus, &error)) {
        fprintf(stderr, "panel_bench: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    if (child && strcmp(argv[1], "--receive") == 0) {
        status = Receive(bus, atof(argv[2]));
    } else if (child) {
        status = Send(bus, atoll(argv[2]), atof(argv[3]));
    } else if (argc == 2 && strcmp(argv[1], "--paint") == 0) {
        INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES };
        InitCommonControlsEx(&controls);
        FiveHundred(bus, 0);
    } else {
        const int changes = argc > 1 ? atoi(argv[1]) : 1000;
        INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES };
        InitCommonControlsEx(&controls);
        Latency(bus, changes > 0 ? changes : 1000);
        fflush(stdout);
        FiveHundred(bus, 200000);
        fflush(stdout);
        Cyclic(bus);
    }
    FreeBus(&bus);
    return status;
}
