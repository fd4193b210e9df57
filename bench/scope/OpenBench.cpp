// scope_open_bench: velkscope opening a recording of about MEGABYTES
// (default 1024), made by the bench itself in the temporary folder (and
// kept there for the next run; never committed). Prints figures; asserts
// nothing.
//   scope_open_bench [MEGABYTES]
//   scope_open_bench --codes N          a recording of N codes, one message each
//   scope_open_bench --several K MEGABYTES   K such recordings opened together
//   scope_open_bench --series HOURS [FOLDER]   a series of compressed parts of
//       HOURS at 2,000 messages a second (default 72), made in FOLDER (default
//       the temporary folder) and kept there, opened by its first part; then
//       velkctl export of the hour from half way
// 1. The file: 8 codes round robin, 6 of values and 2 of arrays, about
//    35 bytes a line, one message of one code a spike of 10^6.
// 2. velkscope's window in this process, without a bus, 1280 x 800, opens
//    it: when the first picture with data is drawn, when the summary is
//    whole, the reading rate, the private bytes every 100 ms (the most).
// 3. Zoom and pan on it: the cost of a frame from the whole file down to a
//    millisecond around the spike, before and after the stretch is read
//    again, and whether the spike is drawn at each level.
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
#include <commctrl.h>

#include "bench/scope/BenchSeries.h"
#include "velkscope/ScopeDlg.h"
// After velkscope's headers: its Sample() is no name of theirs.
#include "bench/VelkctlProcess.h"

namespace {

const int kCodes = kSeriesCodes;
const int32_t kSpike = kSeriesSpike;
uint64_t spikeAt = 0;                       // the message that is a spike: of code 1, 0.7 of the way
uint64_t stepMicros = 100;                   // 10,000 messages a second (a series: 2,000)

double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double PrivateMb()
{
    PROCESS_MEMORY_COUNTERS_EX counters;
    ZeroMemory(&counters, sizeof counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    const SIZE_T bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

uint32_t CodeOf(int index)
{
    return SeriesCode(index);
}

// Digits into a buffer, fast: the file is a gigabyte.
char* Decimal(char* at, uint64_t value, int width = 0)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 || count < width);
    while (count > 0)
        *at++ = digits[--count];
    return at;
}

// The recording, made once and kept; its size.
uint64_t MakeRecording(const std::wstring& path, uint64_t megabytes, uint64_t* messages)
{
    const uint64_t wanted = megabytes << 20;
    spikeAt = wanted / 35 * 7 / 10 / kCodes * kCodes + 1;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    FILE* file = nullptr;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
        const uint64_t size = (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
        if (size >= wanted && size < wanted + (1 << 20)) {
            // Its messages: each line about the same length, so count its lines.
            *messages = 0;
            file = _wfopen(path.c_str(), L"rb");
            std::vector<char> chunk(1 << 20);
            size_t got;
            while (file != nullptr && (got = fread(chunk.data(), 1, chunk.size(), file)) > 0)
                *messages += static_cast<uint64_t>(std::count(chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(got), '\n'));
            if (file != nullptr)
                fclose(file);
            *messages -= 2;
            return size;
        }
    }
    file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return 0;
    const double started = Seconds();
    fputs("# velk record 1\n# start 2026-12-08T09:12:03.000+08:00\n", file);
    uint64_t written = 0, i = 0;
    std::vector<char> buffer(1 << 20);
    size_t used = 0;
    for (; written < wanted - 64; ++i) {
        char* at = buffer.data() + used;
        const char* begin = at;
        const uint64_t micros = i * stepMicros;
        at = Decimal(at, micros / 1000000);
        *at++ = '.';
        at = Decimal(at, micros % 1000000, 6);
        const int code = static_cast<int>(i % kCodes);
        at += snprintf(at, 16, " %08x ", static_cast<unsigned>(CodeOf(code)));
        const int32_t value = i == spikeAt ? kSpike : static_cast<int32_t>(1000 * sin(static_cast<double>(i) / 50000.0 + code));
        if (code < 6) {
            *at++ = 'V';
            *at++ = ' ';
            if (value < 0)
                *at++ = '-';
            at = Decimal(at, static_cast<uint64_t>(std::abs(value)));
        } else {
            at += snprintf(at, 16, "A %02x0203", static_cast<unsigned>((value + 1000) / 8) & 0xFF);
        }
        *at++ = '\n';
        used += static_cast<size_t>(at - begin);
        written += static_cast<uint64_t>(at - begin);
        if (used > buffer.size() - 128) {
            fwrite(buffer.data(), 1, used, file);
            used = 0;
        }
    }
    fwrite(buffer.data(), 1, used, file);
    const uint64_t size = static_cast<uint64_t>(_ftelli64(file));
    fclose(file);
    *messages = i;
    printf("made the recording: %llu messages, %.1f MiB, in %.1f s\n", static_cast<unsigned long long>(i),
           static_cast<double>(size) / (1 << 20), Seconds() - started);
    return size;
}

double longestStep = 0;   // the longest a message kept the window from the next (from the user)

// The window's messages for at most a few milliseconds: its read timer is
// always due while the file comes, so the queue is never empty then.
void Pump(double most = 0.005)
{
    const double started = Seconds();
    MSG message;
    while (Seconds() - started < most && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        double t = Seconds();
        DispatchMessageW(&message);
        longestStep = std::max(longestStep, Seconds() - t);
    }
}

// A frame's cost now, in milliseconds: painted whole, synchronously, n times.
double FrameMillis(CScopeDlg& scope, int n = 10)
{
    const double started = Seconds();
    for (int i = 0; i < n; ++i)
        scope.Chart().Redraw();
    return (Seconds() - started) * 1000 / n;
}

// Whether the spike's trace reaches the spike in the frame's columns.
bool SpikeDrawn(CScopeDlg& scope)
{
    const ScopeModel& model = scope.Model();
    const int trace = model.TraceOfIn(1, CodeOf(static_cast<int>(spikeAt % kCodes)));
    if (trace < 0)
        return false;
    const int width = scope.Chart().PaneAreas().empty() ? 1 : scope.Chart().PaneAreas()[0].Width();
    for (const Column& column : scope.MutableModel().TraceColumns(static_cast<size_t>(trace), scope.Now(), static_cast<size_t>(width))) {
        if (column.count != 0 && column.max >= kSpike)
            return true;
    }
    return false;
}

// velkscope's options with no arguments: no bus, the defaults.
ScopeOptions NoArguments()
{
    ScopeOptions options;
    std::string error;
    ParseScopeArguments({}, &options, &error);
    return options;
}

// The i-th of many value codes: Write Value, ADC, the channel and the bits above the types counting.
unsigned CodeNumber(uint64_t i)
{
    return static_cast<unsigned>(0x20001000u | (i & 0xFF) | ((i >> 8) << 16));
}

// A recording of codes codes, one message each (made once and kept).
std::wstring MakeCodesRecording(uint64_t codes)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"scope-codes-bench-v2-" + std::to_wstring(codes) + L".rec";
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return path;
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return std::wstring();
    fputs("# velk record 1\n# start 2026-12-08T09:12:03.000+08:00\n", file);
    for (uint64_t i = 0; i < codes; ++i)
        fprintf(file, "%llu.%06llu %08x V %d\n", static_cast<unsigned long long>(i / 1000),
                static_cast<unsigned long long>(i % 1000 * 1000), CodeNumber(i), static_cast<int>(i % 100));
    fclose(file);
    return path;
}

// Opens a recording of many codes: when the window has its title and the
// list its rows, when the reading ends, the longest the window was busy,
// and how long closing it mid-read takes.
int OpenManyCodes(uint64_t codes)
{
    const std::wstring path = MakeCodesRecording(codes);
    const ScopeOptions options = NoArguments();
    for (int closing = 0; closing < 2; ++closing) {
        CScopeDlg* scope = new CScopeDlg(options, BusBinding());
        std::wstring failure;
        if (!scope->Start(&failure))
            return 1;
        Pump();
        longestStep = 0;
        const double started = Seconds();
        if (!scope->OpenRecording(path, &failure))
            return 1;
        const double opened = Seconds() - started;
        if (closing == 1) {
            // Closed while it reads: how long until the window is gone.
            const double asked = Seconds();
            HWND window = scope->m_hWnd;
            ::SendMessageW(window, WM_CLOSE, 0, 0);
            Pump();
            printf("  %llu codes: Close while reading: the window gone after %.3f s (%s)\n", static_cast<unsigned long long>(codes),
                   Seconds() - asked, IsWindow(window) ? "still there" : "closed");
            delete scope;
            return 0;
        }
        while (scope->Reading() && Seconds() - started < 600) {
            Pump();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        Pump();
        const double whole = Seconds() - started;
        const int listed = ListView_GetItemCount(GetDlgItem(scope->m_hWnd, IDC_CODES));
        printf("  %llu codes: OpenRecording returned after %.3f s; read whole, %d rows listed (%zu in the model), %llu unlisted, after %.3f s; "
               "the longest the window was busy: %.0f ms\n",
               static_cast<unsigned long long>(codes), opened, listed, scope->Model().Sources()[1]->data.Rows().size(),
               static_cast<unsigned long long>(scope->Model().Sources()[1]->data.Unlisted()), whole, longestStep * 1000);
        delete scope;
    }
    return 0;
}

// K recordings of MEGABYTES each opened together: the most private bytes.
int OpenSeveral(int count, uint64_t megabytes)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i) {
        const std::wstring path = std::wstring(folder) + L"scope-several-bench-" + std::to_wstring(megabytes) + L"-" +
                                  std::to_wstring(i) + L".rec";
        uint64_t messages = 0;
        if (MakeRecording(path, megabytes, &messages) == 0)
            return 1;
        paths.push_back(path);
    }
    const ScopeOptions options = NoArguments();
    const double before = PrivateMb();
    CScopeDlg scope(options, BusBinding());
    std::wstring failure;
    if (!scope.Start(&failure))
        return 1;
    const double started = Seconds();
    int opened = 0;
    for (const std::wstring& path : paths) {
        if (scope.OpenRecording(path, &failure))
            ++opened;
        else
            printf("  refused: %ls\n", failure.c_str());
    }
    double most = PrivateMb();
    while (scope.Reading() && Seconds() - started < 1200) {
        Pump();
        most = std::max(most, PrivateMb());
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    Pump();
    printf("  %d recordings of %llu MiB (%d opened): read in %.1f s; private bytes %.1f MiB before, at most %.1f MiB, "
           "%.1f MiB after\n", count, static_cast<unsigned long long>(megabytes), opened, Seconds() - started, before, most,
           PrivateMb());
    return 0;
}

} // namespace

// Opens path (a recording of size bytes) as a user would, and prints when
// the first picture and the whole summary came, the most private bytes,
// and the frames' cost at every zoom around the spike.
int OpenAndMeasure(const std::wstring& path, uint64_t size)
{
    const ScopeOptions options = NoArguments();
    const double before = PrivateMb();
    CScopeDlg scope(options, BusBinding());
    std::wstring failure;
    if (!scope.Start(&failure)) {
        printf("velkscope did not start\n");
        return 1;
    }
    SetWindowPos(scope.m_hWnd, nullptr, 0, 0, 1280, 800, SWP_NOZORDER);
    Pump();
    const double started = Seconds();
    if (!scope.OpenRecording(path, &failure)) {
        printf("velkscope did not open it\n");
        return 1;
    }
    double firstPicture = -1, firstBatch = -1, most = PrivateMb(), lastSample = 0;
    unsigned long framesAtStart = scope.Chart().Frames();
    longestStep = 0;
    while (scope.Reading() && Seconds() - started < 1800) {
        Pump();
        const double now = Seconds();
        if (firstBatch < 0 && scope.Model().Sources()[1]->messages > 0)
            firstBatch = now - started;
        if (firstPicture < 0 && scope.Model().Sources()[1]->messages > 0 && !scope.Model().Traces().empty() &&
            scope.Chart().Frames() > framesAtStart && scope.Model().TraceSamples(0) > 0)
            firstPicture = now - started;
        if (now - lastSample >= 0.1) {
            most = std::max(most, PrivateMb());
            lastSample = now;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    const double whole = Seconds() - started;
    Pump();
    const ScopeSource& source = *scope.Model().Sources()[1];
    printf("\nopening it (velkscope's window, no bus, 1280 x 800):\n");
    printf("  first picture with data: %.2f s (the first batch taken at %.2f s)\n", firstPicture, firstBatch);
    printf("  the whole summary: %.1f s, %.0f MB/s, %llu messages, %llu bad lines\n", whole,
           static_cast<double>(size) / 1e6 / whole, static_cast<unsigned long long>(source.messages),
           static_cast<unsigned long long>(source.badLines));
    printf("  the longest the window was busy with one thing while reading (what input may wait): %.0f ms\n", longestStep * 1000);
    printf("  private bytes: %.1f MiB before, at most %.1f MiB while reading (%.1f%% of the file), %.1f MiB after\n", before,
           most, most * (1 << 20) * 100 / static_cast<double>(size), PrivateMb());
    printf("  summary: base bucket %lld us, %.1f MiB\n", static_cast<long long>(source.data.Summaries().BaseWidth()),
           static_cast<double>(source.data.Summaries().Bytes()) / (1 << 20));

    // Zoom from the whole file to a millisecond around the spike.
    ScopeModel& model = scope.MutableModel();
    const int64_t spike = static_cast<int64_t>(spikeAt * stepMicros) + model.Origin(1);
    printf("\nzoom and pan around the spike (one frame, 1280 x 800; then after the stretch is read again):\n");
    printf("  %14s %12s %12s %10s %12s %8s\n", "view", "frame ms", "read again", "after ms", "spike drawn", "MiB");
    int64_t from = 0, to = 0;
    scope.Chart().Key(VK_HOME, false, false);
    model.View(scope.Now(), &from, &to);
    for (int64_t span = to - from; span >= 1000; span /= 10) {
        model.SetView(spike - span / 3, spike - span / 3 + span);
        const double frame = FrameMillis(scope);
        const bool drawnAtOnce = SpikeDrawn(scope);
        // The stretch read again, if the view asks for it.
        const double waited = Seconds();
        Pump();
        while (model.DetailPending() && Seconds() - waited < 10) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
            Pump();
        }
        const double after = FrameMillis(scope);
        printf("  %12.3f s %12.1f %10.0f ms %10.1f %12s %8.1f\n", static_cast<double>(span) / 1e6, frame,
               (Seconds() - waited) * 1000, after,
               drawnAtOnce && SpikeDrawn(scope) ? "yes" : drawnAtOnce ? "first only" : SpikeDrawn(scope) ? "after only" : "NO",
               PrivateMb());
    }
    // Panning a tenth at a time at a few zoom levels.
    for (int64_t span : { int64_t(3600000000LL), int64_t(60000000), int64_t(1000000) }) {
        model.SetView(spike - span / 2, spike + span / 2);
        FrameMillis(scope, 2);
        double worst = 0, sum = 0;
        for (int i = 0; i < 20; ++i) {
            model.PanTime(scope.Now(), 0.1);
            const double t = Seconds();
            scope.Chart().Redraw();
            const double took = (Seconds() - t) * 1000;
            worst = std::max(worst, took);
            sum += took;
            Pump();
        }
        printf("  panning a %.0f s view by tenths: %.1f ms a frame on average, %.1f ms the slowest\n",
               static_cast<double>(span) / 1e6, sum / 20, worst);
    }
    return 0;
}

// velkctl export of the hour from half way through the series, timed; the
// rows it wrote and their first and last times.
void ExportHour(const BenchSeries& series, const std::string& folder, unsigned hours)
{
    const std::string csv = folder + "\\hour.csv";
    DeleteFileA(csv.c_str());
    const unsigned from = hours / 2;
    char arguments[1024];
    snprintf(arguments, sizeof arguments, "export \"%s\" --from %uh --to %uh --out \"%s\"", series.firstPart.c_str(), from,
             from + 1, csv.c_str());
    printf("\nvelkctl %s\n", arguments);
    const double started = Seconds();
    VelkctlProcess velkctl(arguments, "xpt");
    MemoryPeaks peaks;
    while (velkctl.Started() && !velkctl.Wait(100) && Seconds() - started < 1800)
        Sample(velkctl.Process(), &peaks);
    const double took = Seconds() - started;
    Sample(velkctl.Process(), &peaks);
    DWORD status = 1;
    GetExitCodeProcess(velkctl.Process(), &status);
    printf("  %s", velkctl.Output().c_str());
    // The rows: a header line, then one a message; the seconds the second field.
    FILE* file = fopen(csv.c_str(), "rb");
    uint64_t rows = 0;
    std::string first, last;
    char line[512];
    while (file != nullptr && fgets(line, sizeof line, file) != nullptr) {
        if (rows++ == 0)
            continue;
        const char* comma = strchr(line, ',');
        const std::string seconds = comma == nullptr ? "" : std::string(comma + 1, strcspn(comma + 1, ","));
        (first.empty() ? first : last) = seconds;
    }
    if (file != nullptr)
        fclose(file);
    printf("  exit %lu in %.1f s: %llu rows, the first at %s s, the last at %s s (the hour: %u to %u s); "
           "private bytes at most %.1f MiB\n", status, took, static_cast<unsigned long long>(rows > 0 ? rows - 1 : 0),
           first.c_str(), last.c_str(), from * 3600, (from + 1) * 3600,
           static_cast<double>(peaks.privateBytes) / (1 << 20));
}

// A series of hours made (or found) in folder, opened by its first part, then exported from.
int OpenSeries(int hours, std::string folder)
{
    if (hours <= 0) {
        fprintf(stderr, "usage: scope_open_bench --series HOURS [FOLDER]\n");
        return 2;
    }
    if (folder.empty()) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "scope-series-bench-" + std::to_string(hours) + "h";
    }
    BenchSeries series;
    printf("the series in %s\n", folder.c_str());
    fflush(stdout);
    if (!MakeBenchSeries(folder, static_cast<unsigned>(hours), &series))
        return 1;
    if (series.seconds > 0)
        printf("made the series in %.0f s (%.0f MB/s of text)\n", series.seconds,
               static_cast<double>(series.text) / 1e6 / series.seconds);
    printf("series: %llu messages, %u parts, %.1f MiB compressed, %.1f MiB of text (1/%.1f), %d h of time\n",
           static_cast<unsigned long long>(series.messages), series.parts, static_cast<double>(series.bytes) / (1 << 20),
           static_cast<double>(series.text) / (1 << 20), static_cast<double>(series.text) / static_cast<double>(series.bytes),
           hours);
    spikeAt = series.spikeAt;
    stepMicros = kSeriesStepMicros;
    const int opened = OpenAndMeasure(std::wstring(series.firstPart.begin(), series.firstPart.end()), series.text);
    ExportHour(series, folder, static_cast<unsigned>(hours));
    return opened;
}

int main(int argc, char** argv)
{
    if (argc > 2 && strcmp(argv[1], "--codes") == 0)
        return OpenManyCodes(strtoull(argv[2], nullptr, 10));
    if (argc > 3 && strcmp(argv[1], "--several") == 0)
        return OpenSeveral(atoi(argv[2]), strtoull(argv[3], nullptr, 10));
    if (argc > 1 && strcmp(argv[1], "--series") == 0)
        return OpenSeries(argc > 2 ? atoi(argv[2]) : 72, argc > 3 ? argv[3] : "");
    const long long megabytes = argc > 1 ? atoll(argv[1]) : 1024;
    if (megabytes <= 0) {
        fprintf(stderr, "usage: scope_open_bench [MEGABYTES]\n");
        return 2;
    }
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"scope-open-bench-" + std::to_wstring(megabytes) + L".rec";
    uint64_t messages = 0;
    const uint64_t size = MakeRecording(path, static_cast<uint64_t>(megabytes), &messages);
    if (size == 0) {
        fprintf(stderr, "scope_open_bench: cannot make the recording\n");
        return 1;
    }
    printf("recording: %llu messages of %d codes, %.1f MiB, %.0f s of time\n", static_cast<unsigned long long>(messages),
           kCodes, static_cast<double>(size) / (1 << 20), static_cast<double>(messages * stepMicros) / 1e6);

    return OpenAndMeasure(path, size);
}
