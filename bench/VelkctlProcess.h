// What the bench programs share to drive velkctl: its folder, temporary
// files, and velkctl as a child with its stdout and stderr in a file.
#pragma once
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>

#include <algorithm>

#include "tests/FileBytes.h"

// The bench program's folder, with its trailing backslash; velkctl.exe sits there.
inline std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

inline std::string TempFile(const char* prefix)
{
    char directory[MAX_PATH], file[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, prefix, 0, file);
    return file;
}

// bytes as the whole of the file at path.
inline bool WriteBenchFile(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

// velkctl (or another program of the folder) with its stdout and stderr in
// a file; killed if still running at the end.
class VelkctlProcess {
public:
    VelkctlProcess(const std::string& arguments, const char* outputPrefix, const char* program = "velkctl.exe")
        : output_(TempFile(outputPrefix)), process_(NULL)
    {
        std::string line = "\"" + ProgramDirectory() + program + "\" " + arguments;
        SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
        HANDLE out = CreateFileA(output_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 CREATE_ALWAYS, 0, NULL);
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = out;
        PROCESS_INFORMATION started;
        std::vector<char> mutableLine(line.begin(), line.end());
        mutableLine.push_back('\0');
        if (CreateProcessA(NULL, mutableLine.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &started)) {
            CloseHandle(started.hThread);
            process_ = started.hProcess;
        } else {
            fprintf(stderr, "cannot start %s (error %lu)\n", program, GetLastError());
        }
        CloseHandle(out);
    }
    ~VelkctlProcess()
    {
        if (process_ != NULL) {
            TerminateProcess(process_, 9);
            CloseHandle(process_);
        }
        DeleteFileA(output_.c_str());
    }
    VelkctlProcess(const VelkctlProcess&) = delete;
    VelkctlProcess& operator=(const VelkctlProcess&) = delete;

    bool Started() const { return process_ != NULL; }
    HANDLE Process() const { return process_; }
    // Pumps this thread's messages meanwhile; false on timeout.
    bool Wait(DWORD timeoutMs)
    {
        DWORD started = GetTickCount();
        while (process_ != NULL) {
            DWORD elapsed = GetTickCount() - started;
            if (elapsed >= timeoutMs)
                return false;
            if (MsgWaitForMultipleObjects(1, &process_, FALSE, timeoutMs - elapsed, QS_ALLINPUT) == WAIT_OBJECT_0)
                return true;
            MSG message;
            while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
        }
        return false;
    }
    std::string Output() const { return ReadFileText(output_); }

private:
    std::string output_;
    HANDLE process_;
};

// velk_bench's throughput of bus value messages, now, on this machine (the
// bus's top rate); 0 when it gave none.
inline double VelkBenchValueRate()
{
    VelkctlProcess bench("20000 200", "vcb", "velk_bench.exe");
    if (!bench.Started() || !bench.Wait(300000))
        return 0;
    const std::string report = bench.Output();
    const size_t at = report.find("bus value");
    return at == std::string::npos ? 0 : atof(report.c_str() + at + 9);
}

// velkctl's private bytes (commit charge) and working set, sampled while it
// runs; the system's own peaks where it keeps them.
struct MemoryPeaks {
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
};

inline void Sample(HANDLE process, MemoryPeaks* peaks)
{
    PROCESS_MEMORY_COUNTERS_EX counters;
    ZeroMemory(&counters, sizeof counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        return;
    peaks->privateBytes = std::max(peaks->privateBytes, std::max(counters.PrivateUsage, counters.PeakPagefileUsage));
    peaks->workingSet = std::max(peaks->workingSet, counters.PeakWorkingSetSize);
}
