// velkctl_report_bench: velkctl report of a recording of about MEGABYTES
// (default 1024): its time and velkctl's peak private bytes. The recording
// and its signal file are made by the bench in the temporary folder (kept
// for the next run; never committed): a rig of four messages on periods of
// 10 to 100 ms, about 180 messages a second, so a gigabyte is some 50 hours,
// with a dropout of the speed now and then, the speed and the temperature
// beyond their limits now and then, the pump's state changing and its
// counter skipping once in a while. Prints figures; asserts nothing.
//   velkctl_report_bench [MEGABYTES] [--page PATH]   PATH: keep the page there
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bench/VelkctlProcess.h"
#include "windows/Clock.h"

namespace {

const char kRig[] =
    "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nperiod = \"10ms\"\nunit = \"rpm\"\nmin = 0\nmax = 3000\n"
    "[[message]]\ncode = \"20001002\"\nname = \"pump.state\"\nperiod = \"100ms\"\n"
    "enum = { 0 = \"STOPPED\", 1 = \"STARTING\", 2 = \"RUNNING\", 3 = \"FAULT\" }\n"
    "[[message]]\ncode = \"20001003\"\nname = \"coolant.temp\"\nperiod = \"50ms\"\nunit = \"degC\"\nscale = 0.1\n"
    "min = -40\nmax = 120\n"
    "[[message]]\ncode = \"30000401\"\nname = \"pump.status\"\nperiod = \"20ms\"\n"
    "[[message.field]]\nname = \"mode\"\nbyte = 0\ntype = \"u8\"\nenum = { 0 = \"off\", 1 = \"manual\", 2 = \"auto\" }\n"
    "[[message.field]]\nname = \"pressure\"\nbyte = 1\ntype = \"u16\"\nendian = \"big\"\nunit = \"bar\"\nscale = 0.01\n"
    "max = 10\n"
    "[[message.field]]\nname = \"alive\"\nbyte = 3\ntype = \"u8\"\ncounter = true\n";

const int64_t kTickMicros = 10000;

// Seconds since a ClockTicks() reading.
double SecondsSince(uint64_t ticks)
{
    return static_cast<double>(ClockMicrosSince(ticks)) / 1e6;
}

uint64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes))
        return 0;
    return (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
}

// One tick's messages (10 ms) appended to out.
void AppendTick(int64_t tick, uint8_t* alive, std::string* out)
{
    char line[96];
    const int64_t micros = tick * kTickMicros;
    const long long whole = static_cast<long long>(micros / 1000000), part = static_cast<long long>(micros % 1000000);
    const double hours = static_cast<double>(micros) / 3.6e9;
    // The speed: a slow swing, a dropout of 0.6 s every 37,000 ticks, a
    // spike beyond its max every 50,000.
    if (tick % 37000 >= 60) {
        int speed = static_cast<int>(1500 + 1400 * sin(hours * 3.0));
        if (tick % 50000 == 25000)
            speed = 3100;
        out->append(line, static_cast<size_t>(snprintf(line, sizeof line, "%lld.%06lld 20001001 V %d\n", whole, part, speed)));
    }
    if (tick % 2 == 1) {
        const int mode = static_cast<int>(tick / 90000 % 3);
        const int pressure = static_cast<int>(500 + 300 * sin(hours * 7.0));
        // Now and then one lost: the counter skips.
        *alive = static_cast<uint8_t>(*alive + (tick % 100000 == 99999 ? 2 : 1));
        out->append(line, static_cast<size_t>(snprintf(line, sizeof line, "%lld.%06lld 30000401 A %02x%04x%02x\n", whole, part,
                                                       mode, pressure, *alive)));
    }
    if (tick % 5 == 0) {
        // Tenths of a degree: over 120 degrees for some minutes every two hours.
        const int temp = static_cast<int>(800 + 420 * sin(hours * 3.1416));
        out->append(line, static_cast<size_t>(snprintf(line, sizeof line, "%lld.%06lld 20001003 V %d\n", whole, part, temp)));
    }
    if (tick % 10 == 0) {
        const int state = static_cast<int>(tick / 30000 % 4);
        out->append(line, static_cast<size_t>(snprintf(line, sizeof line, "%lld.%06lld 20001002 V %d\n", whole, part, state)));
    }
}

// The recording, made once and kept while its size fits; false on failure.
bool MakeRecording(const std::string& path, uint64_t megabytes)
{
    const uint64_t wanted = megabytes << 20;
    const uint64_t size = FileSize(path);
    if (size >= wanted && size < wanted + (1 << 20))
        return true;
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const uint64_t started = ClockTicks();
    std::string chunk = "# velk record 1\n# start 2026-12-08T09:12:03.000+08:00\n";
    uint64_t written = 0;
    uint8_t alive = 0;
    for (int64_t tick = 0; written + chunk.size() + 256 < wanted; ++tick) {
        AppendTick(tick, &alive, &chunk);
        if (chunk.size() > (1 << 20)) {
            written += fwrite(chunk.data(), 1, chunk.size(), file);
            chunk.clear();
        }
    }
    written += fwrite(chunk.data(), 1, chunk.size(), file);
    const bool closed = fclose(file) == 0;
    printf("made the recording: %.1f MiB in %.1f s\n", static_cast<double>(written) / (1 << 20), SecondsSince(started));
    return closed;
}

} // namespace

int main(int argc, char** argv)
{
    uint64_t megabytes = 1024;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--page") == 0 && i + 1 < argc)
            keep = argv[++i];
        else
            megabytes = strtoull(argv[i], nullptr, 10);
    }
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    const std::string base = std::string(directory) + "velkctl-report-bench-" + std::to_string(megabytes);
    const std::string recording = base + ".txt", rig = base + ".toml";
    const std::string page = keep.empty() ? base + ".html" : keep;
    FILE* rigFile = fopen(rig.c_str(), "wb");
    if (rigFile == nullptr || fputs(kRig, rigFile) < 0 || fclose(rigFile) != 0 || !MakeRecording(recording, megabytes)) {
        fprintf(stderr, "velkctl_report_bench: cannot write %s\n", base.c_str());
        return 1;
    }

    const uint64_t started = ClockTicks();
    VelkctlProcess velkctl("report \"" + recording + "\" --signals \"" + rig + "\" --out \"" + page + "\"", "vrb");
    MemoryPeaks peaks;
    while (velkctl.Started() && !velkctl.Wait(50))
        Sample(velkctl.Process(), &peaks);
    const double took = SecondsSince(started);
    Sample(velkctl.Process(), &peaks);
    DWORD status = 1;
    GetExitCodeProcess(velkctl.Process(), &status);
    // What velkctl itself used of the processor: on a machine others share,
    // the time it would take there alone.
    FILETIME created, exited, kernel, user;
    double cpu = 0;
    if (GetProcessTimes(velkctl.Process(), &created, &exited, &kernel, &user))
        cpu = (static_cast<double>((static_cast<uint64_t>(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime) +
               static_cast<double>((static_cast<uint64_t>(user.dwHighDateTime) << 32) | user.dwLowDateTime)) / 1e7;
    printf("%s", velkctl.Output().c_str());
    printf("velkctl report of %.1f MiB: exit %lu, %.2f s (%.0f MiB/s), processor %.2f s, peak private bytes %.1f MiB, "
           "peak working set %.1f MiB, page %.1f KiB\n",
           static_cast<double>(FileSize(recording)) / (1 << 20), status, took,
           static_cast<double>(FileSize(recording)) / (1 << 20) / took, cpu, static_cast<double>(peaks.privateBytes) / (1 << 20),
           static_cast<double>(peaks.workingSet) / (1 << 20), static_cast<double>(FileSize(page)) / 1024);
    return status == 0 ? 0 : 1;
}
