// signals_bench: what a signal file costs velkctl.
//   signals_bench views [MESSAGES]   floods the bus as fast as one sender can
//       (value and 8-byte array messages in turn, all in the file) while
//       velkctl monitor, then velkctl top, take them, each without and then
//       with --signals naming a file of 1,000 messages (half of them arrays
//       of 8 fields); prints each one's rate and the bus's drops
//   signals_bench lookup   decodes messages of files of 10 to 100,000
//       messages by code in this process; prints the time per message
//   signals_bench mux      decodes a plain message of 9 fields and a
//       multiplexed one (a selector and 4 pages of 8 fields, the pages in
//       turn), alone and with monitor's signal line, 41 runs of 10^5 each
//       in turn; prints the median and fastest time per message of
//       each and how much more the multiplexed one takes
//   signals_bench load     loads a file of 10,000 messages (half arrays of
//       8 fields), then one of 10,000 values, five times each, and parses
//       each with toml++ alone five times; prints the fastest, the median
//       and the slowest; then checks files made to be slow (an enum of
//       200,000 entries, messages of 4,096 text fields all from byte 0, 32
//       MiB of dotted keys) and prints the time each took to be refused
//   signals_bench import   imports a DBC of about 800 KB and a matrix of the
//       same messages (bench/signals/ImportBench.cpp)
// Asserts nothing.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bench/VelkctlProcess.h"
#include "bench/signals/ImportBench.h"
#include "signals/SignalCodec.h"
#include "signals/SignalFile.h"
#include "signals/SignalText.h"
#include "signals/Toml.h"
#include "velk/VelkApi.h"
#include "velk/VelkLibrary.h"
#include "windows/Clock.h"
#include "windows/SystemCodePage.h"

namespace {

long long NowUs()
{
    return static_cast<long long>(ClockMicrosSince(0));
}

// The n-th message of a generated file: even ones values, odd ones arrays,
// codes apart in the bits above the channel.
uint32_t CodeOf(int n)
{
    const uint32_t spread = static_cast<uint32_t>(n / 2 % 256) | static_cast<uint32_t>(n / 512) << 16;
    return (n % 2 == 0 ? 0x20001000u : 0x30000400u) | spread;
}

// Half of them arrays of 8 fields; or values only.
std::string SignalFileOf(int messages, bool arrays = true)
{
    std::string text;
    char entry[256];
    for (int i = 0; i < messages; ++i) {
        const int n = arrays ? i : 2 * i;
        snprintf(entry, sizeof entry, "[[message]]\ncode = \"%08x\"\nname = \"m%d\"\nperiod = \"100ms\"\n", CodeOf(n), n);
        text += entry;
        if (n % 2 == 0) {
            text += "unit = \"V\"\nscale = 0.01\nmin = -100\nmax = 100\n";
            continue;
        }
        for (int field = 0; field < 8; ++field) {
            snprintf(entry, sizeof entry,
                     "[[message.field]]\nname = \"f%d\"\nbyte = %d\ntype = \"u8\"\nunit = \"bar\"\nscale = 0.1\nmax = 20\n",
                     field, field);
            text += entry;
        }
    }
    return text;
}

// Until the registry lists a window that before did not (an ended
// client's line may linger a while); at most 10 s.
bool WaitForNewClient(const std::string& before)
{
    for (int i = 0; i < 1000; ++i) {
        const std::string list = vGetInfo(kInfoHandles);
        for (size_t at = 0; at < list.size();) {
            size_t end = list.find('\n', at);
            if (end == std::string::npos)
                end = list.size();
            if (before.find(list.substr(at, end - at)) == std::string::npos)
                return true;
            at = end + 1;
        }
        Sleep(10);
    }
    return false;
}

unsigned long long Counter(const char* name)
{
    std::string text = vGetInfo(kInfoFurther);
    size_t at = text.find(std::string(name) + " ");
    return at == std::string::npos ? 0 : strtoull(text.c_str() + at + strlen(name) + 1, NULL, 10);
}

// Sends messages alternately of the file's first value and array codes.
void Flood(HWND window, int messages)
{
    const char payload[8] = { 1, 2, 3, 4, 5, 6, 7, 8 };
    for (int i = 0; i < messages; ++i) {
        if (i % 2 == 0)
            vPostData(window, CodeOf(0), i, 4);
        else
            vPostData(window, CodeOf(1), reinterpret_cast<LPARAM>(payload), sizeof payload);
    }
}

void MonitorRun(HWND window, int messages, const std::string& signals)
{
    const std::string out = TempFile("vsm");
    char arguments[1024];
    snprintf(arguments, sizeof arguments, "monitor 0x1400 --count %d --timeout 300 --out \"%s\"%s", messages,
             out.c_str(), signals.c_str());
    const std::string before = vGetInfo(kInfoHandles);
    VelkctlProcess monitor(arguments, "vsb");
    if (!monitor.Started() || !WaitForNewClient(before))
        return;
    const unsigned long long dropped = Counter("dropped");
    const long long started = NowUs();
    Flood(window, messages);
    const long long sent = NowUs();
    const bool ended = monitor.Wait(300000);
    const long long done = NowUs();
    const std::string lines = ReadFileText(out);
    DeleteFileA(out.c_str());
    printf("monitor %-9s %d messages sent at %.0f msg/s; taken at %.0f msg/s (%s %.3f s after the last); "
           "%zu bytes written; bus dropped +%llu\n",
           signals.empty() ? "raw:" : "decoded:", messages, messages * 1e6 / static_cast<double>(sent - started),
           messages * 1e6 / static_cast<double>(done - started), ended ? "ended" : "NOT ended", (done - sent) / 1e6,
           lines.size(), Counter("dropped") - dropped);
}

// top on a file while the same flood comes: the messages its summaries
// counted, and the bus's drops.
void TopRun(HWND window, int messages, const std::string& signals)
{
    const std::string before = vGetInfo(kInfoHandles);
    VelkctlProcess top("top --mask 0x1400 --interval 200ms --count 10000" + signals, "vsb");
    if (!top.Started() || !WaitForNewClient(before))
        return;
    const unsigned long long dropped = Counter("dropped");
    const long long started = NowUs();
    Flood(window, messages);
    const long long sent = NowUs();
    // Until its summaries stop growing for a second: everything taken; at most a minute.
    unsigned long long counted = 0, last = ~0ULL;
    long long quietSince = NowUs();
    for (int poll = 0; poll < 300 && NowUs() - quietSince < 1000000; ++poll) {
        Sleep(200);
        const std::string output = top.Output();
        counted = 0;
        for (size_t at = output.find(" codes, "); at != std::string::npos; at = output.find(" codes, ", at + 1))
            counted += strtoull(output.c_str() + at + 8, NULL, 10);
        if (counted != last)
            quietSince = NowUs();
        last = counted;
    }
    const long long done = NowUs();
    printf("top     %-9s %d messages sent at %.0f msg/s; %llu counted in its summaries, the last %.1f s after the "
           "last send; bus dropped +%llu\n",
           signals.empty() ? "raw:" : "decoded:", messages, messages * 1e6 / static_cast<double>(sent - started),
           counted, (done - 1000000 - sent) / 1e6, Counter("dropped") - dropped);
}

int ViewsBench(int messages)
{
    char bus[64];
    snprintf(bus, sizeof bus, "signals-bench-%lu", GetCurrentProcessId());
    SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, bus);
    SetEnvironmentVariableA("VELK_SIGNALS", NULL);
    HWND window = CreateWindowExA(0, "STATIC", "signals_bench", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    const std::string file = TempFile("vss");
    if (window == NULL || !WriteBenchFile(file, SignalFileOf(1000)))
        return 1;
    const std::string signals = " --signals \"" + file + "\"";
    for (int round = 0; round < 3; ++round) {
        MonitorRun(window, messages, "");
        MonitorRun(window, messages, signals);
    }
    TopRun(window, messages, "");
    TopRun(window, messages, signals);
    DeleteFileA(file.c_str());
    DestroyWindow(window);
    return 0;
}

bool Load(const std::string& text, SignalDatabase* database)
{
    std::vector<std::string> errors;
    if (LoadSignalFile(text, "bench.toml", database, &errors))
        return true;
    fprintf(stderr, "signals_bench: %s\n", errors.empty() ? "cannot load" : errors[0].c_str());
    return false;
}

int LookupBench()
{
    const SignalCodePages pages = { &GbkCodePage(), &Utf8CodePage() };
    const std::string payload("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    for (int messages : { 10, 1000, 10000, 100000 }) {
        SignalDatabase database;
        if (!Load(SignalFileOf(messages), &database))
            return 1;
        std::vector<DecodedSignal> decoded;
        const int rounds = 1000000;
        size_t signalCount = 0;
        uint32_t seed = 12345;
        const long long started = NowUs();
        for (int i = 0; i < rounds; ++i) {
            seed = seed * 1103515245u + 12345u;
            const SignalMessage* message = database.FindCode(CodeOf(static_cast<int>(seed >> 8) % messages));
            DecodeMessage(*message, i, payload, pages, &decoded);
            signalCount += decoded.size();
        }
        const long long took = NowUs() - started;
        // The hash alone, the same codes in the same order.
        seed = 12345;
        uintptr_t sum = 0;
        const long long findStarted = NowUs();
        for (int i = 0; i < rounds; ++i) {
            seed = seed * 1103515245u + 12345u;
            sum += reinterpret_cast<uintptr_t>(database.FindCode(CodeOf(static_cast<int>(seed >> 8) % messages)));
        }
        const long long found = NowUs() - findStarted;
        printf("lookup: file of %6d messages: %.0f ns a message found and decoded (%.1f signals each), %.0f ns found%s\n",
               messages, took * 1e3 / rounds, static_cast<double>(signalCount) / rounds, found * 1e3 / rounds,
               sum == 0 ? " (none)" : "");
    }
    return 0;
}

// A selector in byte 0, then 8 u8 fields in bytes 1-8: on every page of
// the multiplexed message (pages 0-3), once in the plain one.
std::string PagedFile()
{
    std::string text = "[[message]]\ncode = \"30000401\"\nname = \"plain\"\n"
                       "[[message.field]]\nname = \"page\"\nbyte = 0\ntype = \"u8\"\n";
    std::string paged = "[[message]]\ncode = \"30000402\"\nname = \"paged\"\n"
                        "[[message.field]]\nname = \"page\"\nbyte = 0\ntype = \"u8\"\nmux = true\n";
    for (int page = 0; page < 4; ++page) {
        for (int field = 1; field <= 8; ++field) {
            const std::string common = "byte = " + std::to_string(field) + "\ntype = \"u8\"\nscale = 0.5\nunit = \"V\"\n";
            if (page == 0)
                text += "[[message.field]]\nname = \"x0f" + std::to_string(field) + "\"\n" + common;   // as long a line
            paged += "[[message.field]]\nname = \"p" + std::to_string(page) + "f" + std::to_string(field) + "\"\n" + common +
                     "mux_value = " + std::to_string(page) + "\n";
        }
    }
    return text + paged;
}

int MuxBench()
{
    SignalDatabase database;
    if (!Load(PagedFile(), &database))
        return 1;
    const SignalCodePages pages = { &GbkCodePage(), &Utf8CodePage() };
    const SignalMessage* plain = database.FindCode(0x30000401);
    const SignalMessage* paged = database.FindCode(0x30000402);
    std::string payloads[4];
    for (int page = 0; page < 4; ++page)
        payloads[page] = std::string(1, static_cast<char>(page)) + "\x11\x22\x33\x44\x55\x66\x77\x88";
    std::vector<DecodedSignal> decoded;
    // Short runs, many of them in turn, so that a busy machine's swings fall on both alike.
    const int rounds = 100000, runs = 41;
    // [with the line][plain, multiplexed], each run's ns a message; the four in turn in every run.
    std::vector<double> times[2][2];
    size_t written = 0;
    for (int run = 0; run < runs; ++run) {
        for (int line = 0; line < 2; ++line) {
            for (int which = 0; which < 2; ++which) {
                const SignalMessage& message = which == 0 ? *plain : *paged;
                const long long started = NowUs();
                for (int i = 0; i < rounds; ++i) {
                    DecodeMessage(message, 0, payloads[i % 4], pages, &decoded);
                    written += line != 0 ? FormatSignalsLine(decoded).size() : decoded.size();
                }
                times[line][which].push_back((NowUs() - started) * 1e3 / rounds);
            }
        }
    }
    for (int line = 0; line < 2; ++line) {
        for (std::vector<double>& each : times[line])
            std::sort(each.begin(), each.end());
        const double plainNs = times[line][0][runs / 2], pagedNs = times[line][1][runs / 2];
        printf("mux: %s: plain (9 fields) %.0f ns a message (fastest %.0f), multiplexed (selector, 4 pages of 8) "
               "%.0f ns (fastest %.0f): median %+.1f %%, fastest %+.1f %%%s\n",
               line != 0 ? "decoded with monitor's line" : "decoded", plainNs, times[line][0].front(), pagedNs,
               times[line][1].front(), (pagedNs / plainNs - 1) * 100,
               (times[line][1].front() / times[line][0].front() - 1) * 100, written == 0 ? " (none)" : "");
    }
    return 0;
}

void PrintTimes(const char* what, const char* file, std::vector<long long> times)
{
    std::sort(times.begin(), times.end());
    printf("%s: 10000 messages (%s): fastest %.1f ms, median %.1f ms, slowest %.1f ms\n", what, file,
           times.front() / 1e3, times[times.size() / 2] / 1e3, times.back() / 1e3);
}

// Files whose checks once took time quadratic in their entries.
int HostileLoads()
{
    std::string enums = "[[message]]\ncode = \"20001001\"\nname = \"big\"\nenum = { ";
    for (int i = 0; i < 200000; ++i)
        enums += std::to_string(i) + " = \"S" + std::to_string(i) + "\", ";
    enums += "200000 = \"S0\" }\n";   // one name twice: refused at the end
    std::string texts;
    for (int message = 0; message < 10; ++message) {
        texts += "[[message]]\ncode = \"3000040" + std::to_string(message) + "\"\nname = \"t" + std::to_string(message) + "\"\n";
        for (int field = 0; field < kMaxSignalFields; ++field)
            texts += "[[message.field]]\nname = \"s" + std::to_string(field) + "\"\nbyte = 0\ntype = \"str\"\n";
    }
    // Each line makes 31 tables: refused by the estimate before toml++ builds them.
    std::string dotted;
    for (int line = 0; dotted.size() < (32u << 20); ++line) {
        dotted += "k" + std::to_string(line);
        for (int part = 0; part < 31; ++part)
            dotted += ".p" + std::to_string(part);
        dotted += " = 1\n";
    }
    const struct { const char* what; const std::string* text; } kFiles[] = {
        { "an enum of 200,000 entries", &enums },
        { "10 messages of 4,096 text fields from byte 0", &texts },
        { "32 MiB of 32-part dotted keys", &dotted },
    };
    for (const auto& file : kFiles) {
        SignalDatabase database;
        std::vector<std::string> errors;
        const long long started = NowUs();
        const bool loaded = LoadSignalFile(*file.text, "hostile.toml", &database, &errors);
        const long long took = NowUs() - started;
        printf("hostile: %s (%zu bytes): %s in %.1f ms, %zu lines of errors\n", file.what, file.text->size(),
               loaded ? "loaded" : "refused", took / 1e3, errors.size());
    }
    return 0;
}

int LoadBench()
{
    for (bool arrays : { true, false }) {
        const std::string text = SignalFileOf(10000, arrays);
        const char* file = arrays ? "half arrays of 8 fields" : "values only";
        std::vector<long long> loads, parses;
        size_t signalCount = 0;
        for (int i = 0; i < 5; ++i) {
            SignalDatabase database;
            const long long started = NowUs();
            if (!Load(text, &database))
                return 1;
            loads.push_back(NowUs() - started);
            signalCount = database.SignalCount();
        }
        // What toml++ alone takes of it, the tree freed as a load frees it.
        for (int i = 0; i < 5; ++i) {
            const long long started = NowUs();
            if (!toml::parse(std::string_view(text), std::string_view("bench.toml")))
                return 1;
            parses.push_back(NowUs() - started);
        }
        printf("load: %zu signals, %zu bytes\n", signalCount, text.size());
        PrintTimes("load", file, loads);
        PrintTimes("toml++ parse alone", file, parses);
    }
    return HostileLoads();
}

} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    if (strcmp(mode, "lookup") == 0)
        return LookupBench();
    if (strcmp(mode, "load") == 0)
        return LoadBench();
    if (strcmp(mode, "import") == 0)
        return ImportBench();
    if (strcmp(mode, "mux") == 0)
        return MuxBench();
    if (strcmp(mode, "views") == 0) {
        int messages = argc > 2 ? atoi(argv[2]) : 100000;
        if (messages < 1000 || messages > 10000000) {
            fprintf(stderr, "signals_bench: MESSAGES must be 1000 to 10000000\n");
            return 1;
        }
        return ViewsBench(messages);
    }
    fprintf(stderr, "usage: signals_bench views [MESSAGES] | lookup | load | import | mux\n");
    return 1;
}
