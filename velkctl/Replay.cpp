#include "velkctl/Replay.h"

#include <inttypes.h>
#include <stdio.h>

#include "velkctl/Commands.h"
#include "velkctl/InputFile.h"
#include "velkctl/PeriodicSend.h"
#include "velkctl/Schedule.h"

namespace {

// A recording holds at most this much text: 64 KiB payloads are 128 KiB a line.
const size_t kMaxRecordingBytes = 1u << 30;

int Post(const BusBinding& bus, HWND window, const RecordedMessage& message)
{
    if (message.kind == kValueMessage)
        return bus.vPostData(window, message.code, static_cast<LPARAM>(message.value), 4);
    static const char kNone[1] = { 0 };
    const char* bytes = message.bytes.empty() ? kNone : message.bytes.data();
    return bus.vPostData(window, message.code, reinterpret_cast<LPARAM>(bytes), static_cast<int>(message.bytes.size()));
}

} // namespace

int ReadRecording(const std::string& path, std::vector<RecordedMessage>* messages)
{
    std::string text;
    int read = ReadInputFile(path, kMaxRecordingBytes, "the most velkctl replays", &text);
    if (read != kExitOk)
        return read;
    RecordParse parsed = ParseRecordText(text);
    if (parsed.errorLine != 0) {
        fprintf(stderr, "%s:%zu: %s\n", path.c_str(), parsed.errorLine, parsed.error.c_str());
        return kExitUsage;
    }
    messages->swap(parsed.messages);
    return kExitOk;
}

int ReplayMessages(const BusBinding& bus, HWND window, const std::vector<RecordedMessage>& messages,
                   const ReplayOptions& options)
{
    ReplaySchedule schedule(messages, options.speed);
    const uint64_t size = messages.size();
    uint64_t count = kSendUntilStopped;
    if (size == 0)
        count = 0;
    else if (options.loops != 0 && options.loops <= kSendUntilStopped / size)
        count = options.loops * size;
    int exitCode = kExitOk;
    uint64_t posted = SendOnDeadlines("posted", count,
        [&](uint64_t n) { return schedule.OffsetMicros(n / size, static_cast<size_t>(n % size)); },
        [&](uint64_t n) {
            const RecordedMessage& message = messages[static_cast<size_t>(n % size)];
            int result = Post(bus, window, message);
            if (result >= 0)
                return true;
            fprintf(stderr, "velkctl: replay: the message of line %zu was refused: %s (%d)\n", message.line,
                    VelkResultText(result), result);
            exitCode = kExitRefused;
            return false;
        });
    if (posted != 0)
        NoteIfBusEndsWithVelkctl(bus, "these messages are lost");
    return exitCode;
}
