#include "velk/velkctl/Replay.h"

#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "velk/velkctl/Clock.h"
#include "velk/velkctl/Commands.h"
#include "velk/velkctl/Schedule.h"
#include "velk/velkctl/StopSignal.h"

namespace {

// A recording holds at most this much text: 64 KiB payloads are 128 KiB a line.
const size_t kMaxFileBytes = 1u << 30;

bool ReadAll(FILE* file, std::string* text)
{
    char chunk[1 << 16];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (text->size() + got > kMaxFileBytes) {
            errno = EFBIG;
            return false;
        }
        text->append(chunk, got);
    }
    return !ferror(file);
}

int Post(const BusBinding& bus, HWND window, const RecordedMessage& message)
{
    if (message.kind == kValueMessage)
        return bus.vPostData(window, message.code, static_cast<LPARAM>(message.value), 4);
    static const char kNone[1] = { 0 };
    const char* bytes = message.bytes.empty() ? kNone : message.bytes.data();
    return bus.vPostData(window, message.code, reinterpret_cast<LPARAM>(bytes), static_cast<int>(message.bytes.size()));
}

} // namespace

bool ReadRecording(const std::string& path, std::vector<RecordedMessage>* messages)
{
    const bool fromStdin = path == "-";
    const char* name = fromStdin ? "standard input" : path.c_str();
    FILE* file = stdin;
    if (fromStdin)
        _setmode(_fileno(stdin), _O_BINARY);
    else
        file = fopen(path.c_str(), "rb");
    if (file == NULL) {
        fprintf(stderr, "velkctl: cannot open '%s': %s\n", name, strerror(errno));
        return false;
    }
    std::string text;
    bool read = ReadAll(file, &text);
    int readError = errno;
    if (!fromStdin)
        fclose(file);
    if (!read) {
        fprintf(stderr, "velkctl: cannot read '%s': %s\n", name, strerror(readError));
        return false;
    }
    RecordParse parsed = ParseRecordText(text);
    if (parsed.errorLine != 0) {
        fprintf(stderr, "%s:%zu: %s\n", fromStdin ? "-" : name, parsed.errorLine, parsed.error.c_str());
        return false;
    }
    messages->swap(parsed.messages);
    return true;
}

int ReplayMessages(const BusBinding& bus, HWND window, const std::vector<RecordedMessage>& messages,
                   const ReplayOptions& options)
{
    CatchStopRequests();
    FineTimerResolution resolution;
    ReplaySchedule schedule(messages, options.speed);
    const uint64_t rate = ClockTicksPerSecond();
    const uint64_t start = ClockTicks();
    uint64_t posted = 0;
    uint64_t lastPosted = start;
    int exitCode = kExitOk;
    bool stopped = messages.empty();
    for (uint64_t pass = 0; !stopped && (options.loops == 0 || pass < options.loops); ++pass) {
        for (size_t i = 0; i < messages.size(); ++i) {
            if (!WaitForDeadline(start + MicrosToTicks(schedule.OffsetMicros(pass, i), rate))) {
                stopped = true;
                break;
            }
            int result = Post(bus, window, messages[i]);
            if (result < 0) {
                fprintf(stderr, "velkctl: replay: the message of line %zu was refused: %s (%d)\n", messages[i].line,
                        VelkResultText(result), result);
                exitCode = kExitRefused;
                stopped = true;
                break;
            }
            lastPosted = ClockTicks();
            ++posted;
        }
    }
    std::string summary = FormatSendSummary("posted", posted, static_cast<uint64_t>(TicksToMicros(
                                                                  static_cast<int64_t>(lastPosted - start), rate)));
    fprintf(stderr, "velkctl: %s%s\n", summary.c_str(), StopRequested() ? ", stopped" : "");
    if (posted != 0)
        NoteIfBusEndsWithVelkctl(bus, "these messages are lost");
    StopHandled();
    return exitCode;
}
