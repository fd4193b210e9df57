// scope_bench: the live views at the bus's top rate, and plot of a long
// recording. Prints figures; asserts nothing.
//   scope_bench [MESSAGES]      default 1000000
//   scope_bench --send CODES COUNT RATE   (the sender, started by the bench itself)
// 1. velk_bench's figure for bus value messages, run now on this machine:
//    the top rate R.
// 2. velkscope (its window in this process) drawing 8 traces, fed MESSAGES
//    value messages at R by a sender process, paused for the middle third
//    of them (its history and summary still take them in): what arrived,
//    the bus's loss counters, frames a second, private bytes as it ran.
// 3. velkctl top into a file, 200 codes at R for 20 intervals of 1 s: loss,
//    and how far each table came from its second.
// 4. velkctl plot of a 10^6-line recording of 8 codes: time, peak memory,
//    points per trace in the SVG.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>

#include "tests/FileBytes.h"
#include "velk/VelkLibrary.h"
#include "client/BusBinding.h"
#include "protocol/BusCounters.h"
#include "chart/PlotChart.h"
#include "formats/RecordReader.h"
#include "velkscope/ScopeDlg.h"

namespace {

const int kScopeCodes = 8;
const int kTopCodes = 200;
const int kTopSeconds = 20;

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Value messages, as velk_bench measures the top rate with: A/D on
// channels 0 to codes - 1.
uint32_t CodeOf(int index)
{
    return 0x20001000 | static_cast<uint32_t>(index);
}

// The recording plot reads: 6 value codes, then 2 array codes.
uint32_t RecordedCodeOf(int index)
{
    return index < 6 ? CodeOf(index) : 0x30000400 | static_cast<uint32_t>(index);
}

// The sender: COUNT messages round robin over CODES codes at RATE a second.
int RunSender(int codes, long long count, double rate)
{
    HWND window = CreateWindowExA(0, "STATIC", "scope sender", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr || velkBusStatus() != kVelkOk) {
        fprintf(stderr, "scope sender: no window or no bus\n");
        return 2;
    }
    const double started = Seconds();
    long long posted = 0;
    // Catching up to the schedule every millisecond or so: the rate holds
    // on average even when a sleep runs long.
    while (posted < count) {
        long long due = std::min(count, static_cast<long long>((Seconds() - started) * rate));
        for (; posted < due; ++posted) {
            uint32_t code = CodeOf(static_cast<int>(posted % codes));
            int32_t value = static_cast<int32_t>((posted / codes) % 2000) - 1000;
            vPostData(window, code, static_cast<LPARAM>(value), 4);
        }
        Sleep(1);
    }
    printf("%lld %.3f\n", posted, Seconds() - started);
    DestroyWindow(window);
    return 0;
}

struct Child {
    HANDLE process = nullptr;
    HANDLE output = nullptr;   // its standard output, read at the end
};

// A program beside this one; its standard output to a pipe or to a file.
bool Start(const std::string& commandLine, Child* child, HANDLE outputFile = nullptr)
{
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE writeEnd = outputFile;
    if (writeEnd == nullptr) {
        if (!CreatePipe(&child->output, &writeEnd, &inherit, 0))
            return false;
        SetHandleInformation(child->output, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string line = commandLine;
    PROCESS_INFORMATION started;
    BOOL ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
    if (outputFile == nullptr)
        CloseHandle(writeEnd);
    if (!ok)
        return false;
    CloseHandle(started.hThread);
    child->process = started.hProcess;
    return true;
}

std::string ReadAll(HANDLE pipe)
{
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0)
        text.append(chunk, got);
    return text;
}

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

double MegaBytes(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Private bytes; Wine fills PagefileUsage where it leaves PrivateUsage 0.
double PrivateMb(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX counters;
    ZeroMemory(&counters, sizeof counters);
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return MegaBytes(counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage);
}

CounterValues Counters(const BusBinding& bus)
{
    return ParseCounters(bus.vGetInfo(kInfoFurther));
}

uint64_t Change(const CounterValues& before, const CounterValues& after, const char* name)
{
    auto from = before.find(name), to = after.find(name);
    return from == before.end() || to == after.end() ? 0 : to->second - from->second;
}

void PrintLoss(const CounterValues& before, const CounterValues& after)
{
    printf("  bus: posted +%llu, delivered +%llu, dropped +%llu, expired +%llu, abandoned +%llu\n",
           static_cast<unsigned long long>(Change(before, after, "posted")),
           static_cast<unsigned long long>(Change(before, after, "delivered")),
           static_cast<unsigned long long>(Change(before, after, "dropped")),
           static_cast<unsigned long long>(Change(before, after, "expired")),
           static_cast<unsigned long long>(Change(before, after, "abandoned")));
}

// 1. velk_bench's throughput of bus value messages.
double TopRate()
{
    Child bench;
    if (!Start(Quoted(ProgramFolder() + "velk_bench.exe") + " 20000 200", &bench))
        return 0;
    std::string report = ReadAll(bench.output);
    WaitForSingleObject(bench.process, INFINITE);
    size_t at = report.find("bus value");
    double rate = at == std::string::npos ? 0 : atof(report.c_str() + at + 9);
    printf("velk_bench, this run: bus value messages %.0f/s (raw PostMessage line: %s)\n", rate,
           report.find("raw PostMessage") != std::string::npos
               ? report.substr(report.find("raw PostMessage"), report.find('\n', report.find("raw PostMessage")) - report.find("raw PostMessage")).c_str()
               : "?");
    CloseHandle(bench.output);
    CloseHandle(bench.process);
    return rate;
}

// What one frame of the chart costs now, in milliseconds: painted whole,
// synchronously, 20 times.
double FrameMillis(CScopeDlg& scope)
{
    const double started = Seconds();
    for (int i = 0; i < 20; ++i)
        scope.Chart().Redraw();
    return (Seconds() - started) * 1000 / 20;
}

size_t Points(const ScopeModel& model)
{
    size_t points = 0;
    for (size_t trace = 0; trace < model.Traces().size(); ++trace)
        points += model.TraceSamples(trace);
    return points;
}

// 2. velkscope with 8 traces, paused for the middle third.
void ScopeAtTopRate(const BusBinding& bus, double rate, long long messages)
{
    ScopeOptions options;
    std::string error;
    ParseScopeArguments({}, &options, &error);
    for (int i = 0; i < kScopeCodes; ++i)
        options.codes.push_back(CodeOf(i));
    options.windowMicros = 3600000000LL;   // every point in sight: the frame's cost against their number
    CScopeDlg scope(options, bus);
    std::wstring failure;
    if (!scope.Start(&failure)) {
        printf("velkscope did not start\n");
        return;
    }
    SetWindowPos(scope.m_hWnd, nullptr, 0, 0, 1280, 800, SWP_NOZORDER);
    CounterValues before = Counters(bus);
    const double memoryBefore = PrivateMb(GetCurrentProcess());

    char command[MAX_PATH + 64];
    snprintf(command, sizeof command, "\"%sscope_bench.exe\" --send %d %lld %.0f", ProgramFolder().c_str(), kScopeCodes,
             messages, rate);
    Child sender;
    if (!Start(command, &sender)) {
        printf("the sender did not start\n");
        return;
    }
    printf("\nvelkscope, 8 traces, %lld value messages at %.0f/s:\n", messages, rate);
    printf("  %10s %8s %10s %10s %12s\n", "received", "seconds", "msg/s", "frames/s", "private MiB");
    const double started = Seconds();
    double lastReport = started;
    uint64_t lastReceived = 0;
    unsigned long lastFrames = scope.Chart().Frames();
    double slowest = 1e9;
    long long nextTenth = messages / 10;
    bool paused = false, pausedSince = false;   // paused now, and at some time in this second
    double pausedSeconds = 0, pausedAt = 0;
    double earlyFrame = -1, middleFrame = -1;
    size_t earlyPoints = 0, middlePoints = 0;
    unsigned long measuring = 0;   // frames painted to measure a frame's cost, not by the scope
    bool measured = false;         // in the second running
    while (scope.Model().Received() < static_cast<uint64_t>(messages) && Seconds() - started < messages / rate * 3 + 60) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const uint64_t before = scope.Model().Received();
            TranslateMessage(&message);
            DispatchMessageW(&message);
            if (scope.Model().Received() / 1024 != before / 1024)
                break;   // back to the measuring now and then: messages come in batches
        }
        if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) == 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        double* frame = earlyFrame < 0 && scope.Model().Received() >= 1000 ? &earlyFrame
                       : middleFrame < 0 && scope.Model().Received() >= 100000 ? &middleFrame : nullptr;
        if (frame != nullptr) {
            (frame == &earlyFrame ? earlyPoints : middlePoints) = Points(scope.Model());
            unsigned long before = scope.Chart().Frames();
            *frame = FrameMillis(scope);
            measuring += scope.Chart().Frames() - before;
            measured = true;
        }
        const double now = Seconds();
        if (now - lastReport >= 1.0) {
            double framesPerSecond = (scope.Chart().Frames() - lastFrames) / (now - lastReport);
            if (!measured && !paused && !pausedSince)   // nor one paused in, where the chart stands still
                slowest = std::min(slowest, framesPerSecond);
            pausedSince = paused;
            measured = false;
            lastFrames = scope.Chart().Frames();
            lastReport = now;
        }
        // Paused from a third of the run to two thirds: the messages still
        // go into the history and the summary, the view stays.
        const long long received = static_cast<long long>(scope.Model().Received());
        if (!paused && received >= messages / 3 && received < messages * 2 / 3) {
            ::SendMessageW(GetDlgItem(scope.m_hWnd, IDC_PAUSE), BM_CLICK, 0, 0);
            paused = pausedSince = scope.Model().Paused();
            pausedAt = Seconds();
            printf("  (paused at %lld)\n", received);
        } else if (paused && received >= messages * 2 / 3) {
            ::SendMessageW(GetDlgItem(scope.m_hWnd, IDC_PAUSE), BM_CLICK, 0, 0);
            paused = scope.Model().Paused();
            pausedSeconds += Seconds() - pausedAt;
            printf("  (resumed at %lld; the history holds %llu messages)\n", received,
                   static_cast<unsigned long long>(scope.Model().LiveHistory().Size()));
        }
        if (static_cast<long long>(scope.Model().Received()) >= nextTenth) {
            while (static_cast<long long>(scope.Model().Received()) >= nextTenth)
                nextTenth += messages / 10;
            double took = now - started;
            printf("  %10llu %8.1f %10.0f %10.1f %12.2f\n", static_cast<unsigned long long>(scope.Model().Received()), took,
                   (scope.Model().Received() - lastReceived) / std::max(took, 1e-3),
                   (scope.Chart().Frames() - measuring) / std::max(took, 1e-3),
                   PrivateMb(GetCurrentProcess()));
        }
    }
    const double took = Seconds() - started;
    std::string report = ReadAll(sender.output);
    WaitForSingleObject(sender.process, INFINITE);
    CloseHandle(sender.output);
    CloseHandle(sender.process);
    printf("  sender: %s", report.c_str());
    printf("  received %llu of %lld in %.1f s; frames %.1f/s on average while live, %.1f/s in the slowest second\n",
           static_cast<unsigned long long>(scope.Model().Received()), messages, took,
           (scope.Chart().Frames() - measuring) / std::max(took - pausedSeconds, 1e-3), slowest);
    printf("  private bytes %.2f MiB before the window, %.2f MiB at the end\n", memoryBefore, PrivateMb(GetCurrentProcess()));
    printf("  one frame (1280 x 800 window, 1 h in sight): %.1f ms with %zu points, %.1f ms with %zu, %.1f ms with %zu\n",
           earlyFrame, earlyPoints, middleFrame, middlePoints, FrameMillis(scope), Points(scope.Model()));
    PrintLoss(before, Counters(bus));
}

// The seconds of the day a top block's time line gives.
bool BlockTime(const std::string& line, double* seconds)
{
    int hour, minute;
    double second;
    if (sscanf(line.c_str(), "-- %*d-%*d-%*d%*c%d:%d:%lf", &hour, &minute, &second) != 3)
        return false;
    *seconds = hour * 3600.0 + minute * 60.0 + second;
    return true;
}

// 3. velkctl top with 200 codes.
void TopAtTopRate(const BusBinding& bus, double rate)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + "scope-bench-top.txt";
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    CounterValues before = Counters(bus);
    Child top;
    char command[MAX_PATH + 64];
    snprintf(command, sizeof command, "\"%svelkctl.exe\" top --interval 1s --count %d", ProgramFolder().c_str(), kTopSeconds + 6);
    if (file == INVALID_HANDLE_VALUE || !Start(command, &top, file)) {
        printf("velkctl top did not start\n");
        return;
    }
    CloseHandle(file);
    Sleep(1500);   // registered, and a first table out
    const long long messages = static_cast<long long>(rate * kTopSeconds);
    snprintf(command, sizeof command, "\"%sscope_bench.exe\" --send %d %lld %.0f", ProgramFolder().c_str(), kTopCodes,
             messages, rate);
    Child sender;
    if (!Start(command, &sender))
        return;
    std::string report = ReadAll(sender.output);
    WaitForSingleObject(sender.process, INFINITE);
    WaitForSingleObject(top.process, 60000);
    DWORD exitCode = 0;
    GetExitCodeProcess(top.process, &exitCode);

    // Each table's time against the first one's whole seconds.
    std::vector<double> times;
    unsigned long long shown = 0;
    FILE* output = fopen(path.c_str(), "r");
    char line[512];
    while (output != nullptr && fgets(line, sizeof line, output) != nullptr) {
        double seconds;
        if (BlockTime(line, &seconds)) {
            times.push_back(seconds);
            const char* messagesAt = strstr(line, " codes, ");
            if (messagesAt != nullptr)
                shown += strtoull(messagesAt + 8, nullptr, 10);
        }
    }
    if (output != nullptr)
        fclose(output);
    double worst = 0;
    for (size_t i = 1; i < times.size(); ++i)
        worst = std::max(worst, fabs(times[i] - times[0] - static_cast<double>(i)));
    printf("\nvelkctl top, %d codes, %lld messages at %.0f/s, --interval 1s (exit %lu):\n", kTopCodes, messages, rate, exitCode);
    printf("  sender: %s", report.c_str());
    printf("  %zu tables, each within %.0f ms of its second; %llu messages counted in them\n", times.size(),
           worst * 1000, shown);
    PrintLoss(before, Counters(bus));
    CloseHandle(sender.output);
    CloseHandle(sender.process);
    CloseHandle(top.process);
    DeleteFileA(path.c_str());
}

// 4. velkctl plot of a 10^6-line recording.
void PlotOfAMillionLines()
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string recording = std::string(folder) + "scope-bench.txt";
    std::string chart = std::string(folder) + "scope-bench.svg";
    FILE* file = fopen(recording.c_str(), "wb");
    if (file == nullptr)
        return;
    fputs("# velk record 1\n", file);
    for (long i = 0; i < 1000000; ++i) {
        int code = static_cast<int>(i % kScopeCodes);
        long value = static_cast<long>(1000 * sin(i / 5000.0 + code)) + (i == 777777 ? 100000 : 0);
        if (RecordedCodeOf(code) & 0x400)
            fprintf(file, "%ld.%06ld %08x A %02lx0203\n", i / 10000, (i % 10000) * 100,
                    static_cast<unsigned>(RecordedCodeOf(code)), (value + 1000) / 8 & 0xFF);
        else
            fprintf(file, "%ld.%06ld %08x V %ld\n", i / 10000, (i % 10000) * 100,
                    static_cast<unsigned>(RecordedCodeOf(code)), value);
    }
    long recordingBytes = ftell(file);
    fclose(file);

    std::string command = Quoted(ProgramFolder() + "velkctl.exe") + " plot " + Quoted(recording);
    for (int i = 0; i < kScopeCodes; ++i) {
        char code[32];
        snprintf(code, sizeof code, " --code %08x", static_cast<unsigned>(RecordedCodeOf(i)));
        command += code;
    }
    command += " --out " + Quoted(chart);
    Child plot;
    const double started = Seconds();
    if (!Start(command, &plot))
        return;
    std::string report = ReadAll(plot.output);
    WaitForSingleObject(plot.process, INFINITE);
    const double took = Seconds() - started;
    DWORD exitCode = 0;
    GetExitCodeProcess(plot.process, &exitCode);

    std::string svg = ReadFileText(chart);
    // The same reading and drawing in this process, whose peak Wine does
    // report (for another process it reports none).
    PROCESS_MEMORY_COUNTERS own;
    GetProcessMemoryInfo(GetCurrentProcess(), &own, sizeof own);
    const double peakBefore = MegaBytes(own.PeakPagefileUsage);
    PlotRequest request;
    for (int i = 0; i < kScopeCodes; ++i)
        request.codes.push_back(RecordedCodeOf(i));
    PlotCollector collector(request);
    FILE* again = fopen(recording.c_str(), "rb");
    if (again != nullptr) {
        RecordReader reader(again, recording);
        RecordedMessage message;
        while (reader.Next(&message))
            collector.Add(message);
        fclose(again);
    }
    size_t inProcess = WriteSvg(collector.Chart()).size();
    GetProcessMemoryInfo(GetCurrentProcess(), &own, sizeof own);

    printf("\nvelkctl plot, 1,000,000 lines of 8 codes, %.1f MiB (exit %lu):\n", MegaBytes(static_cast<SIZE_T>(recordingBytes)), exitCode);
    printf("  velkctl.exe: %.2f s; SVG %.0f KiB\n", took, svg.size() / 1024.0);
    printf("  its reading and drawing in this process: peak private bytes %.1f MiB before, %.1f MiB after (SVG %.0f KiB)\n",
           peakBefore, MegaBytes(own.PeakPagefileUsage), inProcess / 1024.0);
    printf("  points per trace:");
    for (size_t at = svg.find("points=\""); at != std::string::npos; at = svg.find("points=\"", at + 1)) {
        size_t end = svg.find('"', at + 8);
        printf(" %ld", static_cast<long>(std::count(svg.begin() + static_cast<ptrdiff_t>(at), svg.begin() + static_cast<ptrdiff_t>(end), ',')));
    }
    printf("\n");
    CloseHandle(plot.output);
    CloseHandle(plot.process);
    DeleteFileA(recording.c_str());
    DeleteFileA(chart.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && strcmp(argv[1], "--send") == 0)
        return RunSender(atoi(argv[2]), atoll(argv[3]), atof(argv[4]));
    long long messages = argc > 1 ? atoll(argv[1]) : 1000000;
    if (messages <= 0) {
        fprintf(stderr, "usage: scope_bench [MESSAGES]\n");
        return 2;
    }
    char busName[64];
    snprintf(busName, sizeof busName, "scopebench-%lu", GetCurrentProcessId());
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, busName);
    BusBinding bus;
    std::string error;
    if (!LoadBus(&bus, &error)) {
        fprintf(stderr, "scope_bench: %s\n", error.c_str());
        return 1;
    }
    PlotOfAMillionLines();   // first: this process's peak is still its own
    double rate = TopRate();
    if (rate <= 0) {
        fprintf(stderr, "scope_bench: no figure from velk_bench\n");
        return 1;
    }
    ScopeAtTopRate(bus, rate, messages);
    TopAtTopRate(bus, rate);
    FreeBus(&bus);
    return 0;
}
