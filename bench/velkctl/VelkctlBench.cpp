// velkctl_bench: velkctl's record and timed sends against velk.dll, velkctl
// in a child process, this program the other client.
//   velkctl_bench record [MESSAGES]   floods the bus as fast as one sender
//       can (values and 64-byte strings in turn) while velkctl records;
//       prints the send rate, what was recorded, delivered, dropped, expired
//   velkctl_bench trigger [MESSAGES]   the same flood into record --trigger,
//       the trigger in the middle and both windows taking all of it; prints
//       what is in the file (the trigger marked once) beside the bus counters
//   velkctl_bench timing [MESSAGES]   periodic post and replay at 100 and
//       1,000 msg/s; prints how far arrivals stray from a deadline every
//       period (p50, p99, max) and the drift from the first tenth of the
//       messages to the last tenth
//   velkctl_bench series [MESSAGES] [SIGNALS]   records twice at once, plain
//       and as a compressed series (.gz, --split 256MiB): a flood of
//       values, arrays and texts as fast as one sender can post, then the
//       example rig's traffic (velkctl simulate SIGNALS, 20 s); prints
//       velk_bench's top value rate first, then the rate of each, what the
//       files hold and their sizes (bench/velkctl/series_cpu.py runs it and
//       says each recorder's CPU, as Wine's GetProcessTimes cannot)
//   velkctl_bench memory [MB...]   replays generated recordings of about
//       that many megabytes (default 10 and 500) at --speed 0 and prints
//       velkctl's peak private bytes and peak working set, beside those of a
//       one-line recording
// Asserts nothing.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "velk/VelkApi.h"
#include "bench/VelkctlProcess.h"
#include "velk/VelkLibrary.h"
#include "formats/SeriesReader.h"
#include "windows/Clock.h"
#include "windows/FolderNames.h"

#include <psapi.h>   // after windows.h

namespace {

const UINT kValueCode = 0x20000801;    // Depth, channel 1
const UINT kStringCode = 0x30000201;
const UINT kArrayCode = 0x30000401;
const UINT kMask = 0x00000A00;         // Depth and String

long long NowUs()
{
    return static_cast<long long>(ClockMicrosSince(0));
}

std::map<std::string, unsigned long long> Counters()
{
    std::map<std::string, unsigned long long> counters;
    std::string text = vGetInfo(kInfoFurther);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        size_t blank = line.find(' ');
        if (blank != std::string::npos)
            counters[line.substr(0, blank)] = strtoull(line.c_str() + blank + 1, NULL, 10);
    }
    return counters;
}

bool WaitForClients(size_t count)
{
    for (int i = 0; i < 500; ++i) {
        std::string list = vGetInfo(kInfoHandles);
        if (static_cast<size_t>(std::count(list.begin(), list.end(), '\n')) == count)
            return true;
        Sleep(10);
    }
    return false;
}

HWND MakeWindow()
{
    return CreateWindowExA(0, "STATIC", "velkctl_bench", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
}

// Values (counting up from first) and 64-byte strings in turn, as fast as
// one sender can post.
void Flood(HWND window, int first, int count)
{
    static char payload[64];
    memset(payload, 's', sizeof payload);
    for (int i = first; i < first + count; ++i) {
        if (i % 2 == 0)
            vPostData(window, kValueCode, i, 4);
        else
            vPostData(window, kStringCode, reinterpret_cast<LPARAM>(payload), sizeof payload);
    }
}

// A recording's message lines, its comment lines that start with mark, and
// its expired-payload notes; the file is deleted.
struct FileCounts {
    long messages, marked, expired;
};
FileCounts CountAndDelete(const std::string& path, const char* mark)
{
    std::string text = ReadFileText(path);
    DeleteFileA(path.c_str());
    FileCounts counts = { 0, 0, 0 };
    const size_t markLength = strlen(mark);
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        if (text[at] != '#')
            ++counts.messages;
        else if (text.compare(at, 12, "# the next m") == 0)
            ++counts.expired;
        else if (markLength > 0 && end - at == markLength && text.compare(at, markLength, mark) == 0)
            ++counts.marked;
        at = end + 1;
    }
    return counts;
}

void PrintBusChange(const char* mode, std::map<std::string, unsigned long long>& before,
                    std::map<std::string, unsigned long long>& after)
{
    printf("%s: bus delivered +%llu, dropped +%llu, expired +%llu\n", mode, after["delivered"] - before["delivered"],
           after["dropped"] - before["dropped"], after["expired"] - before["expired"]);
}

int RecordBench(HWND window, int messages)
{
    const std::string path = TempFile("vcr");
    char arguments[512];
    snprintf(arguments, sizeof arguments, "record \"%s\" --mask 0x%x --count %d", path.c_str(), kMask, messages);
    VelkctlProcess recorder(arguments, "vcb");
    if (!recorder.Started() || !WaitForClients(1))
        return 1;
    std::map<std::string, unsigned long long> before = Counters();
    long long started = NowUs();
    Flood(window, 0, messages);
    long long sent = NowUs();
    bool ended = recorder.Wait(300000);
    long long done = NowUs();
    std::map<std::string, unsigned long long> after = Counters();
    FileCounts file = CountAndDelete(path, "");
    printf("record: %d messages (values and 64-byte strings in turn) sent in %.3f s, %.0f msg/s\n", messages,
           (sent - started) / 1e6, messages * 1e6 / static_cast<double>(sent - started));
    printf("record: velkctl %s %.3f s after the last send; %ld messages in the file, %ld payloads expired\n",
           ended ? "finished" : "had NOT finished", (done - sent) / 1e6, file.messages, file.expired);
    PrintBusChange("record", before, after);
    printf("record: velkctl said: %s", recorder.Output().c_str());
    return 0;
}

// A recording or series by its name: messages read, bytes on disk; the files are deleted.
struct SeriesCounts {
    long long messages = 0;
    unsigned long long bytes = 0;
    size_t parts = 0;
    std::string error;
};
SeriesCounts ReadAndDelete(const std::string& named)
{
    SeriesCounts counts;
    std::vector<std::string> files;
    if (!FindRecordingFiles(named, WindowsFolders(CP_ACP), &files, &counts.error))
        return counts;
    {
        SeriesReader reader(files, [](const std::string& path, std::string* why) { return OpenPartFile(path, CP_ACP, why); },
                            [](const std::string& path) { return path; });
        RecordedMessage message;
        while (reader.Next(&message))
            ++counts.messages;
        counts.error = reader.Error();
    }
    for (const std::string& file : files) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data))
            counts.bytes += static_cast<unsigned long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        DeleteFileA(file.c_str());
    }
    counts.parts = files.size();
    return counts;
}

// Values, 8-byte arrays and texts in turn, their contents changing as a rig's do.
void RigFlood(HWND window, int count)
{
    for (int i = 0; i < count; ++i) {
        if (i % 3 == 0) {
            vPostData(window, kValueCode, 1500 + (i * 7919) % 211, 4);
        } else if (i % 3 == 1) {
            unsigned char bytes[8] = { static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8), 0x12,
                                       static_cast<unsigned char>((i * 31) % 97), 0, 0xff,
                                       static_cast<unsigned char>(i % 7), 0x40 };
            vPostData(window, kArrayCode, reinterpret_cast<LPARAM>(bytes), sizeof bytes);
        } else {
            char text[64];
            const int length = snprintf(text, sizeof text, "pump 2 pressure %d.%d bar, valve %s", 3 + i % 5,
                                        (i * 13) % 10, i % 11 == 0 ? "OPEN" : "CLOSED");
            vPostData(window, kStringCode, reinterpret_cast<LPARAM>(text), length);
        }
    }
}

enum { kPlain = 1, kSeries = 2 };   // which recorders take part

// A plain recorder, a compressed series recorder or both at once, of what traffic() sends.
int RecordTraffic(const char* what, int recorders, const std::string& bounds, const std::function<void()>& traffic)
{
    const std::string plain = TempFile("vcp") + ".txt";
    const std::string packed = TempFile("vcs") + ".txt.gz";
    std::unique_ptr<VelkctlProcess> plainRecorder, seriesRecorder;
    if (recorders & kPlain)
        plainRecorder.reset(new VelkctlProcess("record \"" + plain + "\"" + bounds, "vcb"));
    if (recorders & kSeries)
        seriesRecorder.reset(new VelkctlProcess("record \"" + packed + "\" --split 256MiB" + bounds, "vcb"));
    if ((plainRecorder && !plainRecorder->Started()) || (seriesRecorder && !seriesRecorder->Started()) ||
        !WaitForClients(recorders == (kPlain | kSeries) ? 2 : 1))
        return 1;
    std::map<std::string, unsigned long long> before = Counters();
    const long long started = NowUs();
    traffic();
    const long long sent = NowUs();
    const bool ended = (!plainRecorder || plainRecorder->Wait(300000)) && (!seriesRecorder || seriesRecorder->Wait(300000));
    std::map<std::string, unsigned long long> after = Counters();
    const unsigned long long posted = after["posted"] - before["posted"];
    printf("series %s: %llu posted in %.3f s, %.0f a second; %s %s\n", what, posted, (sent - started) / 1e6,
           posted * 1e6 / static_cast<double>(sent - started), recorders == (kPlain | kSeries) ? "recorders" : "recorder",
           ended ? "finished" : "had NOT finished");
    PrintBusChange("series", before, after);
    SeriesCounts plainFile;
    if (plainRecorder) {
        plainFile = ReadAndDelete(plain);
        printf("series %s: plain %lld messages, %llu bytes%s%s\n", what, plainFile.messages, plainFile.bytes,
               plainFile.error.empty() ? "" : "; ", plainFile.error.c_str());
    }
    if (seriesRecorder) {
        const SeriesCounts series = ReadAndDelete(packed);
        printf("series %s: .gz --split 256MiB %lld messages in %zu part(s), %llu bytes", what, series.messages,
               series.parts, series.bytes);
        if (plainRecorder && series.bytes != 0)
            printf(" (1/%.1f of plain)", static_cast<double>(plainFile.bytes) / series.bytes);
        printf("%s%s\n", series.error.empty() ? "" : "; ", series.error.c_str());
    }
    fflush(stdout);
    return 0;
}

int SeriesBench(HWND window, int messages, const std::string& signals)
{
    // The bus's top rate on this machine now, for the floods' rates to be read against.
    printf("series: velk_bench, this run: bus value messages %.0f a second\n", VelkBenchValueRate());
    fflush(stdout);
    const std::string bounds = " --count " + std::to_string(messages);
    const std::function<void()> flood = [&]() { RigFlood(window, messages); };
    // Each alone, as one recorder takes the bus's top rate; then both at
    // once, the same messages for each.
    if (RecordTraffic("flood, plain alone", kPlain, bounds, flood) != 0 ||
        RecordTraffic("flood, series alone", kSeries, bounds, flood) != 0 ||
        RecordTraffic("flood, both", kPlain | kSeries, bounds, flood) != 0)
        return 1;
    return RecordTraffic("rig, both", kPlain | kSeries, " --duration 22s", [&]() {
        VelkctlProcess simulate("simulate \"" + signals + "\" --duration 20s", "vcb");
        simulate.Wait(60000);
    });
}

// The registered window's handle: the first word of the first handle line.
HWND FirstClient()
{
    std::string list = vGetInfo(kInfoHandles);
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(list.c_str(), NULL, 16)));
}

// A triggered recording whose windows (an hour each way) take the whole
// flood: half before the trigger, which is value -1, half after. velkctl
// ends on WM_ENDSESSION once the bus has delivered everything.
int TriggerBench(HWND window, int messages)
{
    const std::string path = TempFile("vct");
    char arguments[512];
    snprintf(arguments, sizeof arguments, "record \"%s\" --mask 0x%x --trigger \"%x eq -1\" --pre 1h --post 1h",
             path.c_str(), kMask, kValueCode);
    VelkctlProcess recorder(arguments, "vcb");
    if (!recorder.Started() || !WaitForClients(1))
        return 1;
    HWND client = FirstClient();
    std::map<std::string, unsigned long long> before = Counters();
    const int half = messages / 2;
    long long started = NowUs();
    Flood(window, 0, half);
    vPostData(window, kValueCode, -1, 4);
    Flood(window, half, messages - half - 1);
    long long sent = NowUs();
    // Delivered is counted as messages are posted: a bounded look for it to settle.
    for (int i = 0; i < 100 && Counters()["delivered"] - before["delivered"] < static_cast<unsigned>(messages); ++i)
        Sleep(10);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(client, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    bool ended = recorder.Wait(300000);
    long long done = NowUs();
    std::map<std::string, unsigned long long> after = Counters();
    FileCounts file = CountAndDelete(path, "# trigger");
    printf("trigger: %d messages (values and 64-byte strings in turn, the trigger in the middle) sent in %.3f s, "
           "%.0f msg/s\n", messages, (sent - started) / 1e6, messages * 1e6 / static_cast<double>(sent - started));
    printf("trigger: velkctl %s %.3f s after the last send; %ld messages in the file, %ld marked the trigger, "
           "%ld payloads expired\n", ended ? "finished" : "had NOT finished", (done - sent) / 1e6, file.messages,
           file.marked, file.expired);
    PrintBusChange("trigger", before, after);
    printf("trigger: velkctl said: %s", recorder.Output().c_str());
    return 0;
}

// Arrival times of count bus messages at window; 0 for any that did not come.
std::vector<long long> Arrivals(HWND window, int count, DWORD quietMs)
{
    std::vector<long long> times;
    times.reserve(count);
    while (static_cast<int>(times.size()) < count) {
        MSG message;
        if (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_BUS_MESSAGE && message.hwnd == window)
                times.push_back(NowUs());
            else
                DispatchMessageA(&message);
        } else if (MsgWaitForMultipleObjects(0, NULL, FALSE, quietMs, QS_ALLINPUT) == WAIT_TIMEOUT) {
            break;
        }
    }
    return times;
}

void PrintErrors(const char* what, int perSecond, const std::vector<long long>& arrivals, int expected)
{
    if (arrivals.size() < 200) {
        printf("%-8s %5d msg/s: only %zu of %d messages arrived\n", what, perSecond, arrivals.size(), expected);
        return;
    }
    // Each arrival against a deadline every period. Where the deadlines
    // start is unknown (velkctl's start, the delivery latency): the median
    // offset is taken for it, so the errors say how far each message strays.
    const double period = 1e6 / perSecond;
    std::vector<double> offsets;
    for (size_t i = 0; i < arrivals.size(); ++i)
        offsets.push_back(static_cast<double>(arrivals[i] - arrivals[0]) - period * static_cast<double>(i));
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    const double anchor = sorted[sorted.size() / 2];
    std::vector<double> errors;
    for (double offset : offsets)
        errors.push_back(fabs(offset - anchor));
    std::sort(errors.begin(), errors.end());
    // Drift: the median offset of the last tenth of the messages against
    // that of the first tenth; a stall at either end does not count.
    const size_t tenth = offsets.size() / 10;
    std::vector<double> first(offsets.begin(), offsets.begin() + tenth);
    std::vector<double> last(offsets.end() - tenth, offsets.end());
    std::sort(first.begin(), first.end());
    std::sort(last.begin(), last.end());
    const double drift = last[tenth / 2] - first[tenth / 2];
    printf("%-8s %5d msg/s: %zu of %d arrived; error p50 %.0f us, p99 %.0f us, max %.0f us; drift %+.0f us\n", what,
           perSecond, arrivals.size(), expected, errors[errors.size() / 2], errors[errors.size() * 99 / 100],
           errors.back(), drift);
}

int TimingBench(HWND window, int messages)
{
    if (vRegister(window, kMask, "velkctl_bench") < 0)
        return 1;
    const int rates[] = { 100, 1000 };
    for (int perSecond : rates) {
        const int periodUs = 1000000 / perSecond;
        char arguments[512];
        snprintf(arguments, sizeof arguments, "post 0x%x 1 --every %dus --count %d", kValueCode, periodUs, messages);
        {
            VelkctlProcess periodic(arguments, "vcb");
            std::vector<long long> arrivals = Arrivals(window, messages, 5000);
            periodic.Wait(10000);
            PrintErrors("periodic", perSecond, arrivals, messages);
        }

        const std::string path = TempFile("vcp");
        FILE* file = fopen(path.c_str(), "wb");
        if (file == NULL)
            return 1;
        fprintf(file, "# velk record 1\n");
        for (long long i = 0; i < messages; ++i)
            fprintf(file, "%lld.%06lld %08x V %lld\n", i * periodUs / 1000000, i * periodUs % 1000000, kValueCode, i);
        fclose(file);
        snprintf(arguments, sizeof arguments, "replay \"%s\"", path.c_str());
        {
            VelkctlProcess replay(arguments, "vcb");
            std::vector<long long> arrivals = Arrivals(window, messages, 5000);
            replay.Wait(10000);
            PrintErrors("replay", perSecond, arrivals, messages);
        }
        DeleteFileA(path.c_str());
        fflush(stdout);
    }
    vUnregister(window);
    return 0;
}

// A recording of about megabytes MB: a value line, then lines of 4 KiB
// string payloads, as a session of a device sending blocks would hold. 0: the
// header and one value line.
bool WriteRecording(const std::string& path, int megabytes, long long* messages)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    fprintf(file, "# velk record 1\n# start 2026-12-08T09:12:03.123+08:00\n0.000000 %08x V 1\n", kValueCode);
    const std::string payload(2 * 4096, 'a');
    const long long target = static_cast<long long>(megabytes) << 20;
    long long written = 0;
    *messages = 1;
    for (long long i = 1; written < target; ++i, ++*messages) {
        char head[64];
        int length = snprintf(head, sizeof head, "%lld.%06lld %08x S ", i / 1000, i % 1000 * 1000, kStringCode);
        fwrite(head, 1, static_cast<size_t>(length), file);
        fwrite(payload.data(), 1, payload.size(), file);
        fputc('\n', file);
        written += length + static_cast<long long>(payload.size()) + 1;
    }
    return fclose(file) == 0;
}

int MemoryBench(const std::vector<int>& sizes)
{
    for (int megabytes : sizes) {
        const std::string path = TempFile("vcm");
        long long messages = 0;
        if (!WriteRecording(path, megabytes, &messages)) {
            fprintf(stderr, "velkctl_bench: cannot write %s\n", path.c_str());
            DeleteFileA(path.c_str());
            return 1;
        }
        WIN32_FILE_ATTRIBUTE_DATA attributes;
        GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes);
        const double fileMegabytes =
            (static_cast<double>(attributes.nFileSizeHigh) * 4294967296.0 + attributes.nFileSizeLow) / 1048576.0;
        VelkctlProcess replay("replay \"" + path + "\" --speed 0", "vcb");
        MemoryPeaks peaks;
        long long started = NowUs();
        bool ended = false;
        while (replay.Started() && !(ended = WaitForSingleObject(replay.Process(), 10) == WAIT_OBJECT_0))
            Sample(replay.Process(), &peaks);
        Sample(replay.Process(), &peaks);
        DWORD exitCode = 0;
        GetExitCodeProcess(replay.Process(), &exitCode);
        printf("memory: %8.1f MB, %8lld messages: peak private %6.1f MB, peak working set %6.1f MB; "
               "exit %lu after %.1f s\n",
               fileMegabytes, messages, peaks.privateBytes / 1048576.0, peaks.workingSet / 1048576.0, exitCode,
               (NowUs() - started) / 1e6);
        if (exitCode != 0)
            printf("memory: velkctl said: %s", replay.Output().c_str());
        fflush(stdout);
        DeleteFileA(path.c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    if (strcmp(mode, "memory") == 0) {
        std::vector<int> sizes = { 0 };
        for (int i = 2; i < argc; ++i)
            sizes.push_back(atoi(argv[i]));
        if (sizes.size() == 1)
            sizes.insert(sizes.end(), { 10, 500 });
        return MemoryBench(sizes);
    }
    bool record = strcmp(mode, "record") == 0;
    bool trigger = strcmp(mode, "trigger") == 0;
    bool series = strcmp(mode, "series") == 0;
    if (!record && !trigger && !series && strcmp(mode, "timing") != 0) {
        fprintf(stderr, "usage: velkctl_bench record|trigger|series|timing [MESSAGES] | memory [MB...]\n");
        return 1;
    }
    int messages = argc > 2 ? atoi(argv[2]) : record || trigger || series ? 100000 : 10000;
    if (messages < 200) {
        fprintf(stderr, "velkctl_bench: MESSAGES must be at least 200\n");
        return 1;
    }
    char bus[64];
    snprintf(bus, sizeof bus, "velkctl-bench-%lu", GetCurrentProcessId());
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, bus);
    HWND window = MakeWindow();
    if (window == NULL)
        return 1;
    int result = series ? SeriesBench(window, messages, argc > 3 ? argv[3] : "..\\..\\..\\docs\\signals-example.toml")
               : record ? RecordBench(window, messages)
               : trigger ? TriggerBench(window, messages) : TimingBench(window, messages);
    DestroyWindow(window);
    return result;
}
