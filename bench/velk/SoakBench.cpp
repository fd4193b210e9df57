// velk_soak: a long run of messages through velk.dll into a console
// (corvane.exe, subscribed to Depth and String) and a velkctl monitor, both
// processes of their own. Prints their private bytes after a warm-up that
// wraps the payload arena twice, as the run goes and at its end, with the
// bus's counters. Prints figures; asserts nothing; not a test.
//   velk_soak [MESSAGES [RATE]]   default 1000000 messages, 1000 per second
// Half the messages are values, half 64-byte strings, paced at RATE.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include <windows.h>
#include <psapi.h>

#include "velk/VelkApi.h"
#include "res/resource.h"
#include "velk/SharedBus.h"
#include "velk/VelkLibrary.h"

namespace {

const UINT kValueCode = 0x20000801;    // Depth
const DWORD kIdleMs = 3000;            // a receiver is idle when its CPU time stands still this long

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

HANDLE Start(const std::string& commandLine, HANDLE output)
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION started;
    std::string line = commandLine;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &started))
        return NULL;
    CloseHandle(started.hThread);
    return started.hProcess;
}

// Private bytes, and the working set beside them. Windows reports the
// private commit as PrivateUsage and PagefileUsage alike; Wine leaves
// PrivateUsage 0 for other processes and fills PagefileUsage.
std::string Memory(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX counters;
    ZeroMemory(&counters, sizeof counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        return "         ?         ?";
    size_t privateBytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    char text[64];
    snprintf(text, sizeof text, "%10.2f %9.2f", privateBytes / 1048576.0, counters.WorkingSetSize / 1048576.0);
    return text;
}

ULONGLONG CpuTime(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime)
           + (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
}

// Until neither receiver used any CPU for kIdleMs: their queues are empty.
void WaitUntilIdle(HANDLE console, HANDLE monitor)
{
    ULONGLONG last = CpuTime(console) + CpuTime(monitor);
    for (;;) {
        Sleep(kIdleMs);
        ULONGLONG now = CpuTime(console) + CpuTime(monitor);
        if (now == last)
            return;
        last = now;
    }
}

struct Search {
    DWORD pid;
    HWND dialog;
};

BOOL CALLBACK FindConsoleDialog(HWND window, LPARAM context)
{
    Search* search = reinterpret_cast<Search*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && GetDlgItem(window, IDC_DEP) != NULL) {
        search->dialog = window;
        return FALSE;
    }
    return TRUE;
}

// Whether the handle list shows pid registered with mask (hex, as listed).
bool Registered(DWORD pid, const char* mask)
{
    char tail[64];
    snprintf(tail, sizeof tail, " %s test %lu\r", mask, pid);
    return strstr(vGetInfo(kInfoHandles), tail) != NULL;
}

unsigned long long Counter(const char* name)
{
    std::string key = std::string("\n") + name + " ";
    std::string text = std::string("\n") + vGetInfo(kInfoFurther);
    size_t at = text.find(key);
    return at == std::string::npos ? 0 : strtoull(text.c_str() + at + key.size(), NULL, 10);
}

void Report(const char* when, unsigned long long sent, HANDLE console, HANDLE monitor, DWORD started)
{
    printf("%-5s %9llu %8.1f %s %s %8.1f %8llu\n", when, sent, (GetTickCount() - started) / 1000.0,
           Memory(console).c_str(), Memory(monitor).c_str(), CpuTime(console) / 1e7, Counter("expired"));
    fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    unsigned long long messages = argc > 1 ? strtoull(argv[1], NULL, 10) : 1000000;
    unsigned rate = argc > 2 ? static_cast<unsigned>(strtoul(argv[2], NULL, 10)) : 1000;
    if (messages == 0 || rate == 0) {
        fprintf(stderr, "usage: velk_soak [MESSAGES [RATE]]\n");
        return 1;
    }
    char busName[64];
    snprintf(busName, sizeof busName, "soak-%lu", GetCurrentProcessId());
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, busName);   // the children inherit it

    SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
    HANDLE discard = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, NULL);
    std::string directory = ProgramDirectory();
    HANDLE console = Start("\"" + directory + "corvane.exe\"", discard);
    HANDLE monitor = Start("\"" + directory + "velkctl.exe\" monitor 0xA00", discard);
    if (console == NULL || monitor == NULL) {
        fprintf(stderr, "velk_soak: cannot start corvane.exe or velkctl.exe beside it\n");
        return 2;
    }

    // Subscribe the console as a user would: its DEP and STR boxes.
    Search search = { GetProcessId(console), NULL };
    for (int tries = 0; search.dialog == NULL && tries < 300; ++tries) {
        Sleep(100);
        EnumWindows(FindConsoleDialog, reinterpret_cast<LPARAM>(&search));
    }
    if (search.dialog == NULL) {
        fprintf(stderr, "velk_soak: the console's window did not appear\n");
        return 2;
    }
    PostMessageA(GetDlgItem(search.dialog, IDC_DEP), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(search.dialog, IDC_STR), BM_CLICK, 0, 0);
    for (int tries = 0; !Registered(search.pid, "a00") && tries < 300; ++tries)
        Sleep(100);
    if (!Registered(search.pid, "a00")) {
        fprintf(stderr, "velk_soak: the console did not subscribe to Depth and String:\n%s", vGetInfo(kInfoHandles));
        return 2;
    }

    printf("bus %s, %llu messages at %u/s; MiB of each receiver\n", busName, messages, rate);
    printf("%-5s %9s %8s %10s %9s %10s %9s %8s %8s\n", "when", "messages", "seconds", "console pv", "ws", "monitor pv",
           "ws", "cpu s", "expired");
    DWORD started = GetTickCount();
    Report("start", 0, console, monitor, started);

    // Warm-up: the arena wrapped twice, slowly enough that both fetch every
    // payload before it is overwritten (the bus's expired count stays 0).
    std::string big(kMaxPayloadBytes, 'w');
    for (unsigned i = 0; i < 2 * kPayloadArenaBytes / kMaxPayloadBytes; ++i) {
        vPostData(NULL, kStringCode, reinterpret_cast<LPARAM>(big.c_str()), static_cast<int>(big.size()));
        Sleep(50);
    }
    WaitUntilIdle(console, monitor);
    Report("warm", 0, console, monitor, started);

    std::string text(64, 's');
    unsigned long long reportEvery = messages / 10 > 0 ? messages / 10 : 1;
    for (unsigned long long sent = 0; sent < messages;) {
        DWORD batchStart = GetTickCount();
        for (unsigned i = 0; i < rate / 10 && sent < messages; ++i, ++sent) {
            if (sent % 2 == 0) {
                vPostData(NULL, kValueCode, static_cast<LPARAM>(sent), 4);
            } else {
                memcpy(&text[0], &sent, sizeof sent);
                vPostData(NULL, kStringCode, reinterpret_cast<LPARAM>(text.c_str()), 64);
            }
            if ((sent + 1) % reportEvery == 0)
                Report("run", sent + 1, console, monitor, started);
        }
        DWORD spent = GetTickCount() - batchStart;
        if (spent < 100)
            Sleep(100 - spent);
    }
    WaitUntilIdle(console, monitor);
    Report("end", messages, console, monitor, started);
    printf("%s", vGetInfo(kInfoFurther));

    TerminateProcess(monitor, 0);
    PostMessageA(search.dialog, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(console, 10000) != WAIT_OBJECT_0)
        TerminateProcess(console, 0);
    return 0;
}
