// A bus client for the tests, where velkctl does not fit:
//   velk_peer receive MASK COUNT [slow]   counts value messages (and how
//       many came out of order) until COUNT and a short quiet after them,
//       then prints one summary line
//   velk_peer die-holding lock|mutex      dies holding the bus lock or mutex
//   velk_peer flood CODE                  posts CODE with values counting up
//       until killed
//   velk_peer post-until-accepted CODE    posts CODE every 100 ms until a
//       post is accepted, one line per post: its result and milliseconds
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>

#include "bus/VelkApi.h"
#include "velk/TestSeams.h"
#include "velk/VelkLibrary.h"

namespace {

// Without a message for this long the sender is taken to be done.
const DWORD kIdleLimitMs = 30000;
// After the last expected message: how long to look for any more.
const DWORD kLingerMs = 500;

struct Tally {
    unsigned long long received, disorder;
    long long lastValue;
};

void Count(Tally* tally, LPARAM dataWord)
{
    ++tally->received;
    long long value = static_cast<long long>(dataWord);
    if (value <= tally->lastValue)
        ++tally->disorder;
    tally->lastValue = value;
}

int Receive(UINT mask, unsigned long long count, bool slow)
{
    HWND window = CreateWindowExA(0, "STATIC", "velk_peer", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    if (window == NULL || vRegister(window, mask, "velk_peer") != kVelkOk)
        return 2;
    Tally tally = { 0, 0, -1 };
    for (;;) {
        MSG message;
        if (!PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            DWORD wait = tally.received < count ? kIdleLimitMs : kLingerMs;
            if (MsgWaitForMultipleObjects(0, NULL, FALSE, wait, QS_ALLINPUT) == WAIT_TIMEOUT)
                break;
            continue;
        }
        if (message.message == WM_BUS_MESSAGE) {
            Count(&tally, message.lParam);
            if (slow && tally.received % 16 == 0)
                Sleep(1);   // falls behind the sender: the queue grows
        } else {
            DispatchMessageA(&message);
        }
    }
    printf("received %llu disorder %llu\n", tally.received, tally.disorder);
    fflush(stdout);
    return 0;
}

void Flood(UINT code)
{
    for (LPARAM value = 0;; ++value)
        vPostData(NULL, code, value, 4);
}

int PostUntilAccepted(UINT code)
{
    for (int attempt = 0; attempt < 300; ++attempt) {
        DWORD started = GetTickCount();
        int result = vPostData(NULL, code, attempt, 4);
        printf("%d %lu\n", result, GetTickCount() - started);
        fflush(stdout);
        if (result >= 0)
            return 0;
        Sleep(100);
    }
    return 3;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && strcmp(argv[1], "receive") == 0)
        return Receive(static_cast<UINT>(strtoul(argv[2], NULL, 0)), strtoull(argv[3], NULL, 0),
                       argc >= 5 && strcmp(argv[4], "slow") == 0);
    if (argc == 3 && strcmp(argv[1], "die-holding") == 0) {
        velkTestDieHolding(strcmp(argv[2], "lock") == 0 ? kVelkTestDieHoldingLock : kVelkTestDieHoldingMutex);
        return 2;   // reached only when the bus could not be held
    }
    if (argc == 3 && strcmp(argv[1], "flood") == 0)
        Flood(static_cast<UINT>(strtoul(argv[2], NULL, 0)));
    if (argc == 3 && strcmp(argv[1], "post-until-accepted") == 0)
        return PostUntilAccepted(static_cast<UINT>(strtoul(argv[2], NULL, 0)));
    fprintf(stderr, "usage: velk_peer receive MASK COUNT [slow] | die-holding lock|mutex | flood CODE"
                    " | post-until-accepted CODE\n");
    return 1;
}
