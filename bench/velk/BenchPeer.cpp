// The receiving process: counts what arrives, measures each message's
// one-way latency from the send time it carries, and reports per run.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "bench/velk/BenchProtocol.h"
#include "velk/VelkLibrary.h"

namespace {

struct Run {
    HWND driver;
    size_t expected;
    bool answerEach;
    std::vector<long long> latencies;
};

long long SendTimeOf(UINT code, LPARAM dataWord)
{
    if (code == kBenchValueCode)
        return static_cast<long long>(dataWord);
    int length = 0;
    const char* payload = vGetp(dataWord, &length);   // part of what a payload costs
    return payload != NULL && length == kBenchPayloadBytes ? strtoll(payload, NULL, 10) : 0;
}

void Record(Run* run, UINT code, LPARAM dataWord)
{
    long long sent = SendTimeOf(code, dataWord);
    run->latencies.push_back(sent != 0 ? NowNs() - sent : -1);
    if (run->answerEach)
        PostMessageA(run->driver, kAnswer, 0, 0);
    if (run->latencies.size() < run->expected)
        return;
    std::vector<long long>& all = run->latencies;
    std::sort(all.begin(), all.end());
    long long median = all[all.size() / 2];
    long long high = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    PostMessageA(run->driver, kRunDone, static_cast<WPARAM>(median), static_cast<LPARAM>(high));
    all.clear();
}

} // namespace

long long NowNs()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<long long>(now.QuadPart / frequency.QuadPart * 1000000000LL
                                  + now.QuadPart % frequency.QuadPart * 1000000000LL / frequency.QuadPart);
}

int RunPeer()
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = kPeerClassName;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, kPeerClassName, "velk_bench peer", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL,
                                  windowClass.hInstance, NULL);
    if (window == NULL || vRegister(window, 0x800 | 0x200, "bench") != kVelkOk)
        return 2;

    Run run = { NULL, 0, false, std::vector<long long>() };
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        switch (message.message) {
        case kBeginBurst:
        case kBeginRoundTrips:
            run.driver = reinterpret_cast<HWND>(message.lParam);
            run.expected = static_cast<size_t>(message.wParam);
            run.answerEach = message.message == kBeginRoundTrips;
            run.latencies.clear();
            run.latencies.reserve(run.expected);
            break;
        case WM_BUS_MESSAGE:
            Record(&run, static_cast<UINT>(message.wParam), message.lParam);
            break;
        case kQuit:
            vUnregister(window);
            return 0;
        default:
            DispatchMessageA(&message);
        }
    }
    return 0;
}
