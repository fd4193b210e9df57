// A bus client for the tests, where velkctl does not fit:
//   velk_peer receive MASK COUNT [slow]   counts value messages (and how
//       many came out of order) until COUNT and a short quiet after them,
//       then prints one summary line
//   velk_peer die-holding lock|mutex      dies holding the bus lock or mutex
//   velk_peer flood CODE                  posts CODE with values counting up
//       until killed
//   velk_peer post-until-accepted CODE    posts CODE every 100 ms until a
//       post is accepted, one line per post: its result and milliseconds
//   velk_peer forge-lock PID SECONDS      writes the bus lock word of process
//       PID or its own, one or the other at random, every 5 ms, for SECONDS:
//       a lock word that changes but is never let go. Says "forging" once it
//       has begun.
//   velk_peer idle SECONDS                lives SECONDS without touching the bus
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include <windows.h>

#include "velk/VelkApi.h"
#include "velk/SharedBus.h"
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

// A process's lock word as the bus writes it: its pid and a stamp of its
// creation time.
int64_t LockWordOf(DWORD pid)
{
    uint32_t stamp = 0;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    FILETIME created, exited, kernel, user;
    if (process != NULL && GetProcessTimes(process, &created, &exited, &kernel, &user))
        stamp = created.dwLowDateTime ^ created.dwHighDateTime;
    if (process != NULL)
        CloseHandle(process);
    return static_cast<int64_t>(static_cast<uint64_t>(stamp) << 32 | pid);
}

int ForgeLock(DWORD pid, DWORD seconds)
{
    char busName[256];
    DWORD length = GetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, busName, sizeof busName);
    if (length == 0 || length >= sizeof busName)
        return 2;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, (std::string("Local\\") + busName + ".Block").c_str());
    SharedBus* bus = mapping != NULL ? static_cast<SharedBus*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : NULL;
    if (bus == NULL)
        return 2;
    const LONG64 words[] = { LockWordOf(pid), LockWordOf(GetCurrentProcessId()) };
    volatile LONG64* lock = reinterpret_cast<volatile LONG64*>(&bus->lockOwner);
    unsigned long long writes = 0;
    DWORD started = GetTickCount();
    // In no fixed order, so that no rate of looking sees one word stand.
    unsigned random = GetTickCount() | 1;
    while (GetTickCount() - started < seconds * 1000) {
        random = random * 1103515245u + 12345u;
        InterlockedExchange64(lock, words[(random >> 16) & 1]);
        if (++writes == 1) {
            printf("forging\n");
            fflush(stdout);
        }
        Sleep(5);
    }
    printf("forged %llu\n", writes);
    return 0;
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
    if (argc == 3 && strcmp(argv[1], "idle") == 0) {
        Sleep(strtoul(argv[2], NULL, 0) * 1000);
        return 0;
    }
    if (argc == 4 && strcmp(argv[1], "forge-lock") == 0)
        return ForgeLock(strtoul(argv[2], NULL, 0), strtoul(argv[3], NULL, 0));
    fprintf(stderr, "usage: velk_peer receive MASK COUNT [slow] | die-holding lock|mutex | flood CODE"
                    " | post-until-accepted CODE | forge-lock PID SECONDS | idle SECONDS\n");
    return 1;
}
