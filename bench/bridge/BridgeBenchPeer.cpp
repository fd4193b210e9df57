// The two ends of the bridge benchmark (bench/bridge/bridge_bench.py), one
// process each, on whichever bus VELK_BUS_NAME names:
//   bridge_bench_peer send N RATE      posts N value messages at RATE a second
//                                      (0: back to back), each carrying its
//                                      send time in microseconds (low 32 bits)
//   bridge_bench_peer receive N SECONDS  takes them until N came or SECONDS
//                                      passed, and prints how many, the rate
//                                      and the latency percentiles
// Both read one clock: the performance counter, which Wine takes from the
// host's monotonic clock for every process alike. Prints figures; asserts nothing.
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "velk/VelkApi.h"
#include "velk/VelkLibrary.h"
#include "windows/Clock.h"
#include "formats/Schedule.h"

namespace {

const UINT kBenchCode = 0x20000801;

HWND MakeWindow()
{
    return CreateWindowExA(0, "STATIC", "bridge bench", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
}

// The performance counter in microseconds: the same in every process.
uint64_t NowMicros()
{
    return ClockMicrosSince(0);
}

int Send(uint64_t count, double rate)
{
    HWND window = MakeWindow();
    uint64_t start = ClockTicks();
    uint64_t refused = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (rate > 0)
            WaitForDeadline(start + MicrosToTicks(static_cast<uint64_t>(static_cast<double>(i) * 1e6 / rate),
                                                  ClockTicksPerSecond()));
        uint32_t stamp = static_cast<uint32_t>(NowMicros());
        if (vPostData(window, kBenchCode, static_cast<LPARAM>(stamp), 4) < 0)
            ++refused;
    }
    double seconds = static_cast<double>(ClockMicrosSince(start)) / 1e6;
    printf("sent %llu in %.3f s, %.0f/s, %llu refused\n", static_cast<unsigned long long>(count), seconds,
           static_cast<double>(count) / seconds, static_cast<unsigned long long>(refused));
    return 0;
}

int Receive(uint64_t count, double seconds)
{
    HWND window = MakeWindow();
    if (vRegister(window, kBenchCode & 0xFF00, "bench") < 0) {
        fprintf(stderr, "cannot register\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    std::vector<uint32_t> latencies;
    latencies.reserve(static_cast<size_t>(count));
    uint64_t deadline = NowMicros() + static_cast<uint64_t>(seconds * 1e6);
    uint64_t first = 0, last = 0;
    while (latencies.size() < count && NowMicros() < deadline) {
        MSG message;
        while (latencies.size() < count && PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message != WM_BUS_MESSAGE)
                continue;
            uint64_t now = NowMicros();
            latencies.push_back(static_cast<uint32_t>(now) - static_cast<uint32_t>(message.lParam));
            first = first == 0 ? now : first;
            last = now;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    vUnregister(window);
    std::sort(latencies.begin(), latencies.end());
    size_t n = latencies.size();
    double span = last > first ? static_cast<double>(last - first) / 1e6 : 0;
    printf("received %zu of %llu, %.0f/s, latency p50 %u us, p99 %u us, max %u us\n", n,
           static_cast<unsigned long long>(count), span > 0 ? static_cast<double>(n) / span : 0.0,
           n ? latencies[n / 2] : 0, n ? latencies[std::min(n - 1, n * 99 / 100)] : 0, n ? latencies[n - 1] : 0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "send") == 0)
        return Send(strtoull(argv[2], NULL, 10), atof(argv[3]));
    if (argc == 4 && strcmp(argv[1], "receive") == 0)
        return Receive(strtoull(argv[2], NULL, 10), atof(argv[3]));
    fprintf(stderr, "usage: bridge_bench_peer send N RATE | receive N SECONDS\n");
    return 2;
}
