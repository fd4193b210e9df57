// The log view's cost per line: AddLine (store, then the synchronous erase and
// paint of its 32-pixel band) beside LineRing::Add alone, in one run, and the
// working set before and after a million lines. Run under Wine on a display:
//   xvfb-run -a -s '-screen 0 1280x1024x24' $CORVANE_WINE logview_bench.exe [lines]
#include "protocol/LogLines.h"
#include "logview/LineRing.h"
#include "logview/OwnerDrawStatic.h"

#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>

namespace {

// The log view's client size in the main dialog under Wine (302 x 438 dialog units).
const int kViewWidth = 453;
const int kViewHeight = 876;

const unsigned char kArrayBytes[] = { 0x01, 0x05, 0x09, 0x00, 0x02, 0x09, 0x00, 0x00, 0x01, 0x03, 0x03 };
const char kStringPayload[] = "Welcome to https://example.org/corvane";

const void* FetchPayload(void*, intptr_t dataWord, int32_t* length)
{
    if (dataWord == 1) {
        *length = static_cast<int32_t>(sizeof kArrayBytes);
        return kArrayBytes;
    }
    *length = static_cast<int32_t>(sizeof kStringPayload - 1);
    return kStringPayload;
}

// Lines as the console logs them: an array, a string and a value message.
std::string g_lines[3];

void MakeLines()
{
    g_lines[0] = FormatIncomingLine(12, 0x30000405, 1, FetchPayload, nullptr);
    g_lines[1] = FormatIncomingLine(3, 0x10000203, 2, FetchPayload, nullptr);
    g_lines[2] = FormatIncomingLine(250, 0x10000801, 4711, FetchPayload, nullptr);
}

double Seconds()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double WorkingSetKiB()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.WorkingSetSize) / 1024.0;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void Report(const char* what, int lines, double seconds)
{
    printf("%-34s %9d lines %8.3f s %12.0f lines/s %9.2f us/line\n", what, lines, seconds,
           lines / seconds, seconds * 1e6 / lines);
}

double TimeAddLine(COwnerDrawStatic& view, int lines)
{
    double start = Seconds();
    for (int i = 0; i < lines; ++i)
        view.AddLine(g_lines[i % 3].c_str());
    return Seconds() - start;
}

double TimeRingAdd(LineRing& ring, int lines)
{
    int bandSum = 0;
    double start = Seconds();
    for (int i = 0; i < lines; ++i)
        bandSum += ring.Add(g_lines[i % 3].c_str()).top;
    double seconds = Seconds() - start;
    if (bandSum == -1)   // keeps the loop from being optimised away
        puts("");
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    int lines = argc > 1 ? atoi(argv[1]) : 1000000;
    if (lines <= 0)
        lines = 1000000;
    MakeLines();

    // A frame holding a plain static control, as the dialog's template has it.
    HWND frame = CreateWindowExA(0, "STATIC", "logview bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 0, 0, kViewWidth + 40, kViewHeight + 60, nullptr, nullptr, nullptr, nullptr);
    HWND control = CreateWindowExA(0, "STATIC", "Owner Draw", WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP,
                                   8, 8, kViewWidth, kViewHeight, frame, nullptr, nullptr, nullptr);
    static COwnerDrawStatic view;   // outlives the windows: no detach at exit
    if (frame == nullptr || control == nullptr || !view.SubclassWindow(control)) {
        fprintf(stderr, "cannot create the view\n");
        return 1;
    }
    UpdateWindow(frame);
    PumpMessages();

    // Warm-up: fonts, the window surface and the caches.
    TimeAddLine(view, 2000);
    PumpMessages();

    printf("log view %d x %d pixels, line lengths %d, %d and %d bytes\n", kViewWidth, kViewHeight,
           static_cast<int>(g_lines[0].size()), static_cast<int>(g_lines[1].size()),
           static_cast<int>(g_lines[2].size()));

    double before = WorkingSetKiB();
    double addLineSeconds = TimeAddLine(view, lines);
    double after = WorkingSetKiB();
    PumpMessages();

    LineRing ring;
    double ringSeconds = TimeRingAdd(ring, lines);

    Report("AddLine (store + band repaint)", lines, addLineSeconds);
    Report("LineRing::Add (store only)", lines, ringSeconds);
    printf("repaint share of AddLine           %8.1f %%\n",
           100.0 * (addLineSeconds - ringSeconds) / addLineSeconds);
    printf("working set before %d lines     %10.0f KiB\n", lines, before);
    printf("working set after                  %10.0f KiB (%+.0f KiB)\n", after, after - before);
    printf("first-line number %u, write index %d\n", view.Ring().FirstLineNumber(), view.Ring().WriteIndex());

    DestroyWindow(frame);
    return 0;
}
