#include "tests/velk/BusTestSupport.h"

#include <stdio.h>
#include <stdlib.h>

#include "velk/VelkApi.h"
#include "velk/TestSeams.h"
#include "velk/VelkLibrary.h"

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

namespace {

// Text of the test sources (UTF-8), or else of the system code page.
std::wstring Wide(const std::string& text)
{
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), NULL, 0);
    if (length == 0 && !text.empty()) {
        codePage = CP_ACP;
        length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), NULL, 0);
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// Bus messages stay queued for Receive; sent messages are handled by any peek.
void DispatchAllButBusMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, WM_BUS_MESSAGE - 1, PM_REMOVE)
           || PeekMessageA(&message, NULL, WM_BUS_MESSAGE + 1, 0xFFFFFFFF, PM_REMOVE))
        DispatchMessageA(&message);
}

void PumpFor(DWORD milliseconds)
{
    MsgWaitForMultipleObjects(0, NULL, FALSE, milliseconds, QS_ALLINPUT);
    DispatchAllButBusMessages();
}

std::map<HWND, int> g_endSessions;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENDSESSION && wParam != 0)
        ++g_endSessions[window];
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

ChildProcess::~ChildProcess()
{
    Kill();
    if (process_ != NULL)
        CloseHandle(process_);
    if (output_ != INVALID_HANDLE_VALUE)
        CloseHandle(output_);   // the file goes with its last handle
}

bool ChildProcess::Start(const std::string& program, const std::string& arguments, const std::string& directory)
{
    std::string path = program.find_first_of("\\/") == std::string::npos ? ProgramDirectory() + program : program;
    std::string commandLine = "\"" + path + "\" " + arguments;

    char temp[MAX_PATH], file[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    GetTempFileNameA(temp, "vlk", 0, file);
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
    output_ = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (output_ == INVALID_HANDLE_VALUE)
        return false;

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output_;
    startup.hStdError = output_;
    PROCESS_INFORMATION started;
    std::wstring widePath = Wide(path);
    std::wstring wideLine = Wide(commandLine);
    std::vector<wchar_t> mutableLine(wideLine.begin(), wideLine.end());
    mutableLine.push_back(L'\0');
    std::wstring wideDirectory = Wide(directory);
    // Under a loaded Wine a process now and then fails to start at all: tried
    // again, and said, so that a test of its output is not judged on that.
    bool created = false;
    for (int attempt = 0; attempt < 3 && !created; ++attempt) {
        if (attempt > 0)
            Sleep(200);
        created = CreateProcessW(widePath.c_str(), mutableLine.data(), NULL, NULL, TRUE, 0, NULL,
                                 directory.empty() ? NULL : wideDirectory.c_str(), &startup, &started) != FALSE;
        if (!created)
            fprintf(stderr, "cannot start %s (error %lu)\n", path.c_str(), GetLastError());
    }
    if (!created) {
        CloseHandle(output_);
        output_ = INVALID_HANDLE_VALUE;
        return false;
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    pid_ = started.dwProcessId;
    return true;
}

int ChildProcess::Wait(DWORD timeoutMs)
{
    if (process_ == NULL)
        return -1;
    DWORD started = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - started;
        DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        DWORD wait = MsgWaitForMultipleObjects(1, &process_, FALSE, left, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            break;
        if (wait != WAIT_OBJECT_0 + 1)
            return -1;
        DispatchAllButBusMessages();
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

void ChildProcess::Kill()
{
    if (process_ != NULL && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 9);
        WaitForSingleObject(process_, 5000);
    }
}

std::vector<std::string> ChildProcess::Lines()
{
    std::string output;
    char buffer[65536];
    DWORD got = 0;
    SetFilePointer(output_, 0, NULL, FILE_BEGIN);
    while (ReadFile(output_, buffer, sizeof buffer, &got, NULL) && got > 0)
        output.append(buffer, got);
    return SplitLines(output);
}

void BusTest::SetUp()
{
    static int busesMade;
    char name[64];
    snprintf(name, sizeof name, "velktest-%lu-%d", GetCurrentProcessId(), ++busesMade);
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, name);
    // The programs' English lines, whatever the system's language; the
    // Chinese ones are a test of their own.
    SetEnvironmentVariableA("VELK_LANG", "en");
    ASSERT_EQ(kVelkOk, velkTestSelectBus());
    window_ = MakeWindow();
    ASSERT_TRUE(window_ != NULL);
}

void BusTest::TearDown()
{
    velkTestFailPosts(0);
    if (window_ != NULL) {
        vUnregister(window_);
        DestroyWindow(window_);
    }
}

HWND BusTest::MakeWindow()
{
    static bool registered;
    if (!registered) {
        WNDCLASSA windowClass;
        ZeroMemory(&windowClass, sizeof windowClass);
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "VelkTestClient";
        registered = RegisterClassA(&windowClass) != 0;
    }
    return CreateWindowExA(0, "VelkTestClient", "velk test", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

int BusTest::EndSessionsOf(HWND window)
{
    return g_endSessions[window];
}

std::map<std::string, uint64_t> BusTest::Counters()
{
    std::map<std::string, uint64_t> counters;
    for (const std::string& line : SplitLines(vGetInfo(kInfoFurther))) {
        size_t blank = line.rfind(' ');
        if (blank != std::string::npos)
            counters[line.substr(0, blank)] = strtoull(line.c_str() + blank + 1, NULL, 10);
    }
    return counters;
}

std::vector<std::string> BusTest::ClientLines()
{
    return SplitLines(vGetInfo(kInfoHandles));
}

bool BusTest::WaitForClients(size_t count, DWORD timeoutMs)
{
    DWORD started = GetTickCount();
    while (ClientLines().size() != count) {
        if (GetTickCount() - started > timeoutMs)
            return false;
        PumpFor(50);
    }
    return true;
}

std::vector<BusMessage> BusTest::Receive(HWND window, size_t count, DWORD timeoutMs)
{
    std::vector<BusMessage> received;
    DWORD started = GetTickCount();
    while (received.size() < count && GetTickCount() - started <= timeoutMs) {
        MSG message;
        if (PeekMessageA(&message, window, WM_BUS_MESSAGE, WM_BUS_MESSAGE, PM_REMOVE)) {
            BusMessage busMessage = { static_cast<UINT>(message.wParam), message.lParam };
            received.push_back(busMessage);
        } else {
            MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
            DispatchAllButBusMessages();
        }
    }
    return received;
}

std::string WriteTempFile(const std::string& bytes)
{
    char directory[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    if (GetTempFileNameA(directory, "vlk", 0, path) == 0)
        return std::string();
    FILE* file = fopen(path, "wb");
    if (file == NULL)
        return std::string();
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written ? path : std::string();
}

int RunVelkctl(const std::string& arguments, std::vector<std::string>* lines, const std::string& program)
{
    ChildProcess velkctl;
    if (!velkctl.Start(program, arguments))
        return -100;
    int exitCode = velkctl.Wait(30000);
    if (lines != NULL)
        *lines = velkctl.Lines();
    return exitCode;
}

std::string WithoutDelta(const std::string& line)
{
    size_t blank = line.find(' ');
    return blank == std::string::npos ? line : line.substr(blank + 1);
}

std::string Velkctl32Path()
{
    char wine32[8] = "";
    char path[MAX_PATH] = "";
    GetEnvironmentVariableA("CORVANE_WINE32", wine32, sizeof wine32);
    GetEnvironmentVariableA("VELKCTL32", path, sizeof path);
    if (strcmp(wine32, "1") != 0 || path[0] == '\0')
        return std::string();
    return path;
}
