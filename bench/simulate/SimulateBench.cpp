// simulate_bench: velkctl simulate under load, this program the receiver.
//   simulate_bench [SECONDS] [FAST] [SLOW]   a signal file of FAST messages
//       at 10 ms and SLOW at 100 ms (default 50 and 200, 8-byte arrays each
//       with a 4-bit counter and a CRC-8 over bytes 0-6) simulated for
//       SECONDS (default 60); every arrival is stamped here. Prints the
//       messages received against those sent, counters that skipped or
//       repeated, checksums that failed, how far arrivals stray from a grid
//       of their period (p50, p99, max, each code's grid placed at its
//       median offset, folded into half a period), and velkctl's own
//       summary: overruns and its period error per message (the worst mean
//       and p99).
// Asserts nothing.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/VelkctlProcess.h"
#include "signals/Checksum.h"
#include "velk/VelkApi.h"
#include "velk/VelkLibrary.h"
#include "windows/Clock.h"

namespace {

const UINT kArrayType = 0x00000400;   // the ARR type bit of 300004xx
const uint32_t kFirstCode = 0x30000400;

struct Stream {
    uint64_t periodMicros = 0;
    std::vector<long long> arrivals;   // us
    int lastCounter = -1;
    uint64_t counterFaults = 0;
    uint64_t checksumFaults = 0;
};

std::string SignalFile(int fast, int slow)
{
    std::string text;
    for (int i = 0; i < fast + slow; ++i) {
        char message[512];
        snprintf(message, sizeof message,
                 "[[message]]\ncode = \"%08x\"\nname = \"m%d\"\nperiod = \"%s\"\n"
                 "[[message.field]]\nname = \"alive\"\nbyte = 0\nbits = 4\ntype = \"u8\"\ncounter = true\n"
                 "[[message.field]]\nname = \"value\"\nbyte = 1\ntype = \"u16\"\nendian = \"little\"\ninit = %d\n"
                 "[[message.field]]\nname = \"pad\"\nbyte = 3\ntype = \"u32\"\nendian = \"little\"\n"
                 "[[message.field]]\nname = \"crc\"\nbyte = 7\ntype = \"u8\"\n"
                 "checksum = { kind = \"crc8\", bytes = \"0-6\" }\n",
                 static_cast<unsigned>(kFirstCode + i), i, i < fast ? "10ms" : "100ms", i);
        text += message;
    }
    return text;
}

void Take(const MSG& message, std::vector<Stream>* streams)
{
    const uint32_t code = static_cast<uint32_t>(message.wParam);
    const long long now = static_cast<long long>(ClockMicrosSince(0));
    int length = 0;
    const char* bytes = vGetp(message.lParam, &length);
    if (code < kFirstCode || code - kFirstCode >= streams->size())
        return;
    Stream& stream = (*streams)[code - kFirstCode];
    stream.arrivals.push_back(now);
    if (bytes == NULL || length != 8) {
        ++stream.checksumFaults;
        return;
    }
    const uint8_t* payload = reinterpret_cast<const uint8_t*>(bytes);
    if (ComputeChecksum(*FindChecksumKind("crc8"), payload, 7) != payload[7])
        ++stream.checksumFaults;
    const int counter = payload[0] & 15;
    if (stream.lastCounter >= 0 && counter != ((stream.lastCounter + 1) & 15))
        ++stream.counterFaults;
    stream.lastCounter = counter;
}

// How far each arrival strays from its code's grid, the grid at the median
// offset; folded into half a period either way, so that a deadline velkctl
// skipped (an overrun) does not shift the rest.
void AddErrors(const Stream& stream, std::vector<double>* errors)
{
    if (stream.arrivals.size() < 2)
        return;
    const double period = static_cast<double>(stream.periodMicros);
    std::vector<double> phases;
    for (long long arrival : stream.arrivals)
        phases.push_back(fmod(static_cast<double>(arrival - stream.arrivals[0]), period));
    std::vector<double> sorted = phases;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    for (double phase : phases) {
        double off = fmod(phase - median + 1.5 * period, period) - 0.5 * period;
        errors->push_back(off < 0 ? -off : off);
    }
}

// The worst of velkctl's own "period error mean X ms, p99 Y ms" and the overruns, from its summary.
void VelkctlFigures(const std::string& output, double* worstMean, double* worstP99, unsigned long long* overruns,
                    unsigned long long* sent)
{
    *worstMean = *worstP99 = 0;
    *overruns = *sent = 0;
    size_t at = 0;
    while ((at = output.find(" sent ", at)) != std::string::npos) {
        unsigned long long count = 0, over = 0;
        double mean = 0, p99 = 0;
        if (sscanf(output.c_str() + at, " sent %llu, overruns %llu, period error mean %lf ms, p99 %lf ms", &count, &over,
                   &mean, &p99) == 4) {
            *sent += count;
            *overruns += over;
            *worstMean = std::max(*worstMean, mean);
            *worstP99 = std::max(*worstP99, p99);
        }
        ++at;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? atoi(argv[1]) : 60;
    const int fast = argc > 2 ? atoi(argv[2]) : 50;
    const int slow = argc > 3 ? atoi(argv[3]) : 200;
    if (seconds < 1 || fast < 0 || slow < 0 || fast + slow < 1 || fast + slow > 256) {
        fprintf(stderr, "usage: simulate_bench [SECONDS] [FAST] [SLOW]   (FAST + SLOW at most 256)\n");
        return 1;
    }
    char bus[64];
    snprintf(bus, sizeof bus, "simulate-bench-%lu", GetCurrentProcessId());
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, bus);
    HWND window = CreateWindowExA(0, "STATIC", "simulate_bench", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    if (window == NULL || vRegister(window, kArrayType, "simulate_bench") < 0) {
        fprintf(stderr, "simulate_bench: cannot register on the bus\n");
        return 1;
    }
    const std::string file = TempFile("smb");
    FILE* out = fopen(file.c_str(), "wb");
    const std::string text = SignalFile(fast, slow);
    if (out == NULL || fwrite(text.data(), 1, text.size(), out) != text.size() || fclose(out) != 0) {
        fprintf(stderr, "simulate_bench: cannot write %s\n", file.c_str());
        return 1;
    }
    std::vector<Stream> streams(static_cast<size_t>(fast + slow));
    for (int i = 0; i < fast + slow; ++i)
        streams[static_cast<size_t>(i)].periodMicros = i < fast ? 10000 : 100000;

    char arguments[512];
    snprintf(arguments, sizeof arguments, "simulate \"%s\" --duration %ds", file.c_str(), seconds);
    VelkctlProcess simulate(arguments, "smo");
    const HANDLE process = simulate.Process();
    bool ended = process == NULL;
    while (!ended) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_BUS_MESSAGE && message.hwnd == window)
                Take(message, &streams);
            else
                DispatchMessageA(&message);
        }
        ended = MsgWaitForMultipleObjects(1, &process, FALSE, 1000, QS_ALLINPUT) == WAIT_OBJECT_0;
    }
    MSG message;   // what was still queued when it ended
    while (PeekMessageA(&message, window, WM_BUS_MESSAGE, WM_BUS_MESSAGE, PM_REMOVE))
        Take(message, &streams);
    vUnregister(window);

    uint64_t received = 0, counterFaults = 0, checksumFaults = 0;
    std::vector<double> errors;
    for (const Stream& stream : streams) {
        received += stream.arrivals.size();
        counterFaults += stream.counterFaults;
        checksumFaults += stream.checksumFaults;
        AddErrors(stream, &errors);
    }
    std::sort(errors.begin(), errors.end());
    double worstMean = 0, worstP99 = 0;
    unsigned long long overruns = 0, sent = 0;
    const std::string said = simulate.Output();
    VelkctlFigures(said, &worstMean, &worstP99, &overruns, &sent);
    printf("simulate: %d messages at 10 ms and %d at 100 ms for %d s\n", fast, slow, seconds);
    printf("sent %llu (velkctl's count), received %llu; counters skipped or repeated %llu, checksums failed %llu\n", sent,
           static_cast<unsigned long long>(received), static_cast<unsigned long long>(counterFaults),
           static_cast<unsigned long long>(checksumFaults));
    if (!errors.empty())
        printf("arrivals off their grid: p50 %.0f us, p99 %.0f us, max %.0f us\n", errors[errors.size() / 2],
               errors[errors.size() * 99 / 100], errors.back());
    printf("velkctl: overruns %llu; period error, worst message: mean %.2f ms, p99 %.2f ms\n", overruns, worstMean,
           worstP99);
    if (sent == 0)
        printf("velkctl said:\n%s", said.c_str());
    DeleteFileA(file.c_str());
    DestroyWindow(window);
    return 0;
}
