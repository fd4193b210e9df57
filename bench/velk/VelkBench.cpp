// velk_bench: delivery from one process to another through velk.dll, beside
// raw PostMessage between the same two windows in the same run.
//   velk_bench [MESSAGES [ROUND_TRIPS]]
// Prints throughput and one-way latency (median, 99th percentile) of value
// messages and of 64-byte string payloads. Asserts nothing.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "bench/velk/BenchProtocol.h"
#include "velk/VelkLibrary.h"

namespace {

const int kRounds = 5;   // throughput is the median of this many bursts

struct Figures {
    double perSecond;
    double medianUs, highUs;
};

HWND g_peer;
HWND g_driver;

// Waits for one message of the given number from the peer.
MSG AwaitMessage(UINT wanted)
{
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        if (message.message == wanted)
            return message;
        DispatchMessageA(&message);
    }
    ZeroMemory(&message, sizeof message);
    return message;
}

void Send(BenchKind kind)
{
    switch (kind) {
    case kRawValue:
        PostMessageA(g_peer, WM_BUS_MESSAGE, kBenchValueCode, static_cast<LPARAM>(NowNs()));
        break;
    case kBusValue:
        vPostData(g_driver, kBenchValueCode, static_cast<LPARAM>(NowNs()), 4);
        break;
    case kBusPayload: {
        char payload[kBenchPayloadBytes + 1];
        memset(payload, 'p', kBenchPayloadBytes);
        int stamp = snprintf(payload, sizeof payload, "%019lld", NowNs());
        payload[stamp] = ' ';
        payload[kBenchPayloadBytes] = '\0';
        vPostData(g_driver, kBenchPayloadCode, reinterpret_cast<LPARAM>(payload), kBenchPayloadBytes);
        break;
    }
    }
}

double Burst(BenchKind kind, int messages)
{
    PostMessageA(g_peer, kBeginBurst, static_cast<WPARAM>(messages), reinterpret_cast<LPARAM>(g_driver));
    long long started = NowNs();
    for (int i = 0; i < messages; ++i)
        Send(kind);
    AwaitMessage(kRunDone);
    return messages * 1e9 / static_cast<double>(NowNs() - started);
}

Figures Measure(BenchKind kind, int roundTrips, std::vector<double>* bursts)
{
    Figures figures;
    std::sort(bursts->begin(), bursts->end());
    figures.perSecond = (*bursts)[bursts->size() / 2];

    PostMessageA(g_peer, kBeginRoundTrips, static_cast<WPARAM>(roundTrips), reinterpret_cast<LPARAM>(g_driver));
    for (int i = 0; i < roundTrips; ++i) {
        Send(kind);
        AwaitMessage(kAnswer);
    }
    MSG done = AwaitMessage(kRunDone);
    figures.medianUs = static_cast<double>(done.wParam) / 1000.0;
    figures.highUs = static_cast<double>(done.lParam) / 1000.0;
    return figures;
}

HWND FindPeer(DWORD pid)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        HWND found = NULL;
        while ((found = FindWindowExA(NULL, found, kPeerClassName, NULL)) != NULL) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == pid)
                return found;
        }
        Sleep(50);
    }
    return NULL;
}

bool StartPeer(PROCESS_INFORMATION* peer)
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    char commandLine[MAX_PATH + 16];
    snprintf(commandLine, sizeof commandLine, "\"%s\" --peer", path);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    return CreateProcessA(path, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, peer) != FALSE;
}

void PrintRow(const char* what, const Figures& figures, const Figures& raw)
{
    printf("%-22s %12.0f %8.2fx %12.1f %10.1f\n", what, figures.perSecond, figures.perSecond / raw.perSecond,
           figures.medianUs, figures.highUs);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && strcmp(argv[1], "--peer") == 0)
        return RunPeer();
    int messages = argc > 1 ? atoi(argv[1]) : 20000;
    int roundTrips = argc > 2 ? atoi(argv[2]) : 2000;
    if (messages < 1 || roundTrips < 1) {
        fprintf(stderr, "usage: velk_bench [MESSAGES [ROUND_TRIPS]]\n");
        return 1;
    }

    // A bus of its own, inherited by the peer.
    char busName[64];
    snprintf(busName, sizeof busName, "velkbench-%lu", GetCurrentProcessId());
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, busName);
    if (velkBusStatus() != kVelkOk) {
        fprintf(stderr, "velk_bench: no bus\n");
        return 2;
    }
    g_driver = CreateWindowExA(0, "STATIC", "velk_bench", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    PROCESS_INFORMATION peer;
    if (g_driver == NULL || !StartPeer(&peer) || (g_peer = FindPeer(peer.dwProcessId)) == NULL) {
        fprintf(stderr, "velk_bench: the peer process did not come up\n");
        return 2;
    }

    const BenchKind kinds[] = { kRawValue, kBusValue, kBusPayload };
    std::vector<double> bursts[3];
    Burst(kRawValue, messages / 10 + 1);   // warm both processes up
    // Each round starts with another kind, so a drift of the machine's load
    // does not favour one of them.
    for (int round = 0; round < kRounds; ++round)
        for (int i = 0; i < 3; ++i) {
            BenchKind kind = kinds[(round + i) % 3];
            bursts[kind].push_back(Burst(kind, messages));
        }
    Figures figures[3];
    for (BenchKind kind : kinds)
        figures[kind] = Measure(kind, roundTrips, &bursts[kind]);

    printf("velk_bench: 2 processes, %d messages per burst (median of %d), %d round trips for latency\n",
           messages, kRounds, roundTrips);
    printf("%-22s %12s %9s %12s %10s\n", "", "messages/s", "vs raw", "p50 us", "p99 us");
    PrintRow("raw PostMessage", figures[kRawValue], figures[kRawValue]);
    PrintRow("bus value", figures[kBusValue], figures[kRawValue]);
    PrintRow("bus 64-byte string", figures[kBusPayload], figures[kRawValue]);
    printf("targets: value >= 0.80x raw, payload >= 0.50x raw (throughput)\n");
    printf("bus counters:\n");
    for (const char* c = vGetInfo(kInfoFurther); *c != '\0'; ++c)
        if (*c != '\r')
            putchar(*c);
    fflush(stdout);

    PostMessageA(g_peer, kQuit, 0, 0);
    WaitForSingleObject(peer.hProcess, 10000);
    CloseHandle(peer.hProcess);
    CloseHandle(peer.hThread);
    return 0;
}
