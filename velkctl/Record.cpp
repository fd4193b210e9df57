#include "velkctl/Record.h"

#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "velk/VelkApi.h"
#include "common/Escapes.h"
#include "common/FileName.h"
#include "common/FormatText.h"
#include "protocol/BusCounters.h"
#include "windows/Clock.h"
#include "velkctl/CommandOutcome.h"
#include "client/InputFile.h"
#include "windows/LineFile.h"
#include "client/ReceiveLoop.h"
#include "formats/RecordLine.h"
#include "windows/StopSignal.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"

namespace {

// Lines go out whole when the queue runs empty, when the buffer is full, and
// at the end: a recorder killed at any moment leaves whole lines behind. The
// first write that fails ends the recording: what comes after is counted,
// not kept.
class RecordSink : public MessageSink {
public:
    RecordSink(const BusBinding& bus, LineFile* file) : bus_(bus), file_(file), start_(ClockTicks()) {}

    // Payloads are fetched at once: the bus keeps them only for a while.
    void Receive(UINT code, LPARAM dataWord) override
    {
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, ClockMicrosSince(start_), &expired);
        ++received_;
        if (file_->Failed())
            return;
        // The note and its message reach the file together or not at all.
        file_->Add(expired ? std::string(kExpiredNote) + "\n" + FormatRecordLine(message) : FormatRecordLine(message));
        expired_ += expired ? 1 : 0;
        StopOnFailure();
    }

    void FilteredOut(UINT) override { ++filteredOut_; }

    void Idle() override
    {
        file_->Flush();
        StopOnFailure();
    }

    uint64_t Received() const { return received_; }
    uint64_t FilteredOutCount() const { return filteredOut_; }
    uint64_t Expired() const { return expired_; }
    uint64_t Started() const { return start_; }

private:
    void StopOnFailure()
    {
        if (file_->Failed() && !stopped_) {
            stopped_ = true;
            RequestStop();
        }
    }

    const BusBinding& bus_;
    LineFile* file_;
    uint64_t start_;
    uint64_t received_ = 0;
    uint64_t expired_ = 0;
    uint64_t filteredOut_ = 0;
    bool stopped_ = false;
};

} // namespace

void PrintRecordWarnings(bool losing, uint64_t expired, int end)
{
    if (losing)
        PrintMessage("velkctl: warning: the bus dropped or expired messages during the recording\n");
    if (expired != 0)
        PrintMessage("velkctl: warning: %" PRIu64 " payloads had expired before they were fetched (recorded as '-')\n",
                     expired);
    if (end == kReceiveSessionEnded)
        PrintMessage("velkctl: the session ended\n");
}

int RecordMessages(const BusBinding& bus, HWND window, const RecordOptions& options)
{
    const bool toStdout = options.path == "-";
    const std::string made = FileNameAsMade(options.path);   // the file Windows makes of the path
    const std::string name = toStdout ? N_("standard output") : QuotePath(made);
    LineFile file;
    if (!file.Create(options.path, options.compressed)) {
        PrintMessage("velkctl: cannot create %s: %s\n", name.c_str(), strerror(errno));
        return kExitIo;
    }
    CatchStopRequests();

    CounterValues before = ReadCounters(bus);
    file.Add(kRecordHeader);
    file.Add(FormatStartLine(WallClockNow()));
    const uint64_t headerLines = file.Added();
    // Compressed, the header is a member of its own: a file killed at once is still a recording.
    if (!file.FlushAll()) {
        PrintMessage("velkctl: cannot write %s: %s\n", name.c_str(), file.ErrorText().c_str());
        StopHandled();
        return kExitIo;
    }
    RecordSink sink(bus, &file);
    const bool filtering = !options.filter.PassesAll();
    ReceiveOptions receive = { options.mask, options.count, options.durationMicros, 0,
                               filtering ? &options.filter : NULL };
    int end = ReceiveBusMessages(bus, window, receive, &sink);
    double seconds = static_cast<double>(ClockMicrosSince(sink.Started())) / 1e6;
    bool written = file.Close();
    // What is really in the file: a failed write cut it back to its last whole line.
    const uint64_t inFile = file.Written() - headerLines;
    StopHandled();

    if (end < 0) {
        PrintMessage("velkctl: record refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    CounterValues after = ReadCounters(bus);
    bool losing = false;
    std::string change = FormatCounterChange(before, after, &losing);
    std::string recorded = CountOf(inFile, "message");
    if (filtering)
        recorded = FormatText(N_("%s (%llu filtered out)"), recorded.c_str(),
                              static_cast<unsigned long long>(sink.FilteredOutCount()));
    PrintMessage("velkctl: recorded %s to %s in %.3f s; bus: %s\n", recorded.c_str(),
                 toStdout ? N_("standard output") : EscapeForDisplay(made).c_str(), seconds, change.c_str());
    PrintRecordWarnings(losing, sink.Expired(), end);
    if (!written) {
        PrintMessage("velkctl: cannot write %s: %s; %s received not written, the recording stopped\n",
                     name.c_str(), file.ErrorText().c_str(), CountOf(sink.Received() - inFile, "message").c_str());
        return kExitIo;
    }
    return kExitOk;
}
