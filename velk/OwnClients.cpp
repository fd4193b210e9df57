#include "velk/OwnClients.h"

#include <windows.h>

#include "velk/BusBlock.h"
#include "velk/BusLock.h"
#include "velk/Registry.h"
#include "velk/WindowBits.h"

namespace {

const DWORD kCheckIntervalMs = 1000;

SRWLOCK g_guard = SRWLOCK_INIT;
BusClient g_own[kMaxClients];
uint32_t g_ownCount;
volatile LONG g_lastCheckTick;
volatile LONG g_checkNow;         // set by a header repair

// The registrations to keep: those whose window is still this process's.
// Asked outside the bus lock, as every question to the window system.
uint32_t LiveOwnClients(BusClient clients[kMaxClients])
{
    AcquireSRWLockExclusive(&g_guard);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < g_ownCount; ++i) {
        DWORD pid = 0;
        if (GetWindowThreadProcessId(WindowOf(g_own[i].window), &pid) != 0 && pid == g_own[i].pid)
            g_own[kept++] = g_own[i];
    }
    g_ownCount = kept;
    for (uint32_t i = 0; i < kept; ++i)
        clients[i] = g_own[i];
    ReleaseSRWLockExclusive(&g_guard);
    return kept;
}

} // namespace

void RememberOwnClient(const BusClient& client)
{
    AcquireSRWLockExclusive(&g_guard);
    int found = FindClient(g_own, g_ownCount, client.window);
    if (found >= 0)
        g_own[found] = client;
    else if (g_ownCount < kMaxClients)
        g_own[g_ownCount++] = client;
    ReleaseSRWLockExclusive(&g_guard);
}

void ForgetOwnClient(uint32_t window)
{
    AcquireSRWLockExclusive(&g_guard);
    int found = FindClient(g_own, g_ownCount, window);
    if (found >= 0)
        g_own[found] = g_own[--g_ownCount];
    ReleaseSRWLockExclusive(&g_guard);
}

void ForgetOwnClients()
{
    AcquireSRWLockExclusive(&g_guard);
    g_ownCount = 0;
    ReleaseSRWLockExclusive(&g_guard);
}

void LookAfterBus(SharedBus* bus)
{
    if (!BusHeaderIsOurs(bus)) {
        BusLock lock(bus);
        if (RestoreBusHeader(bus)) {
            RepairBus(bus, 0);
            InterlockedExchange(&g_checkNow, 1);
        }
    }
    DWORD now = GetTickCount();
    LONG last = g_lastCheckTick;
    if (g_checkNow == 0 && now - static_cast<DWORD>(last) < kCheckIntervalMs)
        return;
    // Claimed first: of several threads that find the check due, one checks.
    if (InterlockedCompareExchange(&g_lastCheckTick, static_cast<LONG>(now), last) != last)
        return;
    InterlockedExchange(&g_checkNow, 0);
    BusClient clients[kMaxClients];
    uint32_t count = LiveOwnClients(clients);
    if (count == 0)
        return;
    BusLock lock(bus);
    for (uint32_t i = 0; i < count; ++i)
        RestoreClient(bus, clients[i]);
}
