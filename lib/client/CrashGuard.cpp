#include "client/CrashGuard.h"

#include <windows.h>

#include "client/ExitStatus.h"

namespace {

// Room kept below an overflowed stack for the filter (where the system
// honours it; Wine 8 does not, hence the thread watched from outside).
const ULONG kReservedStackBytes = 64 * 1024;

struct GuardedRun {
    GuardedMain body;
    int argc;
    char** argv;
    int exitCode;
    volatile LONG returned;
};

// The report is built without the C runtime or the heap: either may be what
// crashed, or hold a lock the crashed code took.
char g_report[160];

void Append(char** out, const char* text)
{
    const char* end = g_report + sizeof g_report - 1;
    while (*text != '\0' && *out < end)
        *(*out)++ = *text++;
}

void AppendHex(char** out, unsigned long long value)
{
    char digits[16];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    char text[19] = "0x";
    for (int i = 0; i < count; ++i)
        text[2 + i] = digits[count - 1 - i];
    text[2 + count] = '\0';
    Append(out, text);
}

const char* ExceptionName(DWORD code)
{
    switch (code) {
    case EXCEPTION_STACK_OVERFLOW:      return "stack overflow";
    case EXCEPTION_ACCESS_VIOLATION:    return "access violation";
    case EXCEPTION_IN_PAGE_ERROR:       return "page error";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:  return "division by zero";
    default:                            return "exception";
    }
}

// Writes the report and ends the process without an orderly exit: the
// library's detach would wait for a lock the crashed thread may hold.
void ReportAndTerminate(char* end)
{
    Append(&end, "\r\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), g_report, static_cast<DWORD>(end - g_report), &written, NULL);
    TerminateProcess(GetCurrentProcess(), kExitCrashed);
}

LONG WINAPI ReportUnhandledException(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    char* out = g_report;
    Append(&out, "velkctl: crashed: ");
    Append(&out, ExceptionName(record->ExceptionCode));
    Append(&out, " (");
    AppendHex(&out, record->ExceptionCode);
    Append(&out, ") at ");
    AppendHex(&out, static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(record->ExceptionAddress)));
    ReportAndTerminate(out);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI RunBody(void* context)
{
    GuardedRun* run = static_cast<GuardedRun*>(context);
    ULONG reserve = kReservedStackBytes;
    SetThreadStackGuarantee(&reserve);
    run->exitCode = run->body(run->argc, run->argv);
    InterlockedExchange(&run->returned, 1);
    return 0;
}

} // namespace

int RunGuarded(GuardedMain body, int argc, char** argv)
{
    SetUnhandledExceptionFilter(ReportUnhandledException);
    // No dialog box from the system: a script has nobody to click it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    static GuardedRun run;
    run.body = body;
    run.argc = argc;
    run.argv = argv;
    HANDLE thread = CreateThread(NULL, 0, RunBody, &run, 0, NULL);
    if (thread == NULL) {
        char* out = g_report;
        Append(&out, "velkctl: cannot start (error ");
        AppendHex(&out, GetLastError());
        Append(&out, ")");
        ReportAndTerminate(out);
    }
    WaitForSingleObject(thread, INFINITE);
    DWORD threadExit = 0;
    GetExitCodeThread(thread, &threadExit);
    CloseHandle(thread);
    if (run.returned == 0) {
        char* out = g_report;
        Append(&out, "velkctl: crashed: the command's thread ended abnormally (status ");
        AppendHex(&out, threadExit);
        Append(&out, ")");
        ReportAndTerminate(out);
    }
    return run.exitCode;
}
