#include "velkctl/Record.h"

#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "bus/VelkApi.h"
#include "velkctl/BusCounters.h"
#include "velkctl/Clock.h"
#include "velkctl/Commands.h"
#include "velkctl/ReceiveLoop.h"
#include "velkctl/RecordLine.h"
#include "velkctl/StopSignal.h"

namespace {

// Written out when the queue runs empty, and at the end.
const size_t kFileBuffer = 1 << 16;

class RecordSink : public MessageSink {
public:
    RecordSink(const BusBinding& bus, FILE* file) : bus_(bus), file_(file), start_(ClockTicks()) {}

    // Payloads are fetched at once: the bus keeps them only for a while.
    void Receive(UINT code, LPARAM dataWord) override
    {
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, ClockMicrosSince(start_), &expired);
        if (expired) {
            fputs("# the next message's payload had expired\n", file_);
            ++expired_;
        }
        std::string line = FormatRecordLine(message);
        line += '\n';
        fwrite(line.data(), 1, line.size(), file_);
        ++recorded_;
    }

    void Idle() override { fflush(file_); }

    uint64_t Recorded() const { return recorded_; }
    uint64_t Expired() const { return expired_; }
    uint64_t Started() const { return start_; }

private:
    const BusBinding& bus_;
    FILE* file_;
    uint64_t start_;
    uint64_t recorded_ = 0;
    uint64_t expired_ = 0;
};

std::string StartLine()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return FormatStartLine(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

} // namespace

int RecordMessages(const BusBinding& bus, HWND window, const RecordOptions& options)
{
    const bool toStdout = options.path == "-";
    const char* name = toStdout ? "standard output" : options.path.c_str();
    FILE* file = stdout;
    if (toStdout) {
        _setmode(_fileno(stdout), _O_BINARY);   // the same bytes as a file
    } else {
        file = fopen(options.path.c_str(), "wb");
        if (file == NULL) {
            fprintf(stderr, "velkctl: cannot create '%s': %s\n", name, strerror(errno));
            return kExitIo;
        }
    }
    setvbuf(file, NULL, _IOFBF, kFileBuffer);
    CatchStopRequests();

    CounterValues before = ParseCounters(bus.vGetInfo(kInfoFurther));
    fprintf(file, "%s\n%s\n", kRecordHeader, StartLine().c_str());
    RecordSink sink(bus, file);
    ReceiveOptions receive = { options.mask, options.count, options.durationMicros, 0 };
    int end = ReceiveBusMessages(bus, window, receive, &sink);
    double seconds = static_cast<double>(ClockMicrosSince(sink.Started())) / 1e6;
    bool written = !ferror(file) && fflush(file) == 0;
    if (!toStdout)
        written = fclose(file) == 0 && written;
    StopHandled();

    if (end < 0) {
        fprintf(stderr, "velkctl: record refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    CounterValues after = ParseCounters(bus.vGetInfo(kInfoFurther));
    bool losing = false;
    std::string change = FormatCounterChange(before, after, &losing);
    fprintf(stderr, "velkctl: recorded %" PRIu64 " messages to %s in %.3f s; bus: %s\n", sink.Recorded(), name,
            seconds, change.c_str());
    if (losing)
        fprintf(stderr, "velkctl: warning: the bus dropped or expired messages during the recording\n");
    if (sink.Expired() != 0)
        fprintf(stderr, "velkctl: warning: %" PRIu64 " payloads had expired before they were fetched (recorded as '-')\n",
                sink.Expired());
    if (end == kReceiveSessionEnded)
        fprintf(stderr, "velkctl: the session ended\n");
    if (!written) {
        fprintf(stderr, "velkctl: cannot write '%s': %s\n", name, strerror(errno));
        return kExitIo;
    }
    return kExitOk;
}
