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
#include "velkctl/RecordSeries.h"
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
    RecordSink(const BusBinding& bus, RecordSeries* series, uint64_t start) : bus_(bus), series_(series), start_(start) {}

    // Payloads are fetched at once: the bus keeps them only for a while.
    void Receive(UINT code, LPARAM dataWord) override
    {
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, ClockMicrosSince(start_), &expired);
        ++received_;
        if (series_->Failed())
            return;
        std::string lines = Lines(message, expired);
        if (series_->StartsNewPart(lines.size() + 1, message.micros)) {
            if (!series_->NextPart(message.micros)) {
                StopOnFailure();
                return;
            }
            lines = Lines(message, expired);
        }
        series_->File().Add(lines);
        expired_ += expired ? 1 : 0;
        StopOnFailure();
    }

    void FilteredOut(UINT) override { ++filteredOut_; }

    void Idle() override
    {
        series_->File().Flush();
        StopOnFailure();
    }

    // A compressed member ends a second after its first message, on time
    // even on a quiet bus: a kill loses that second at most.
    uint64_t DueTicks() override { return series_->Failed() ? UINT64_MAX : series_->File().MemberDueTicks(); }
    void Due() override { Idle(); }

    uint64_t Received() const { return received_; }
    uint64_t FilteredOutCount() const { return filteredOut_; }
    uint64_t Expired() const { return expired_; }
    uint64_t Started() const { return start_; }

private:
    // The note and its message reach the file together or not at all; the
    // time counted from the part's start.
    std::string Lines(RecordedMessage message, bool expired) const
    {
        message.micros -= series_->PartMicros();
        const std::string line = FormatRecordLine(message);
        return expired ? std::string(kExpiredNote) + "\n" + line : line;
    }

    void StopOnFailure()
    {
        if (series_->Failed() && !stopped_) {
            stopped_ = true;
            RequestStop();
        }
    }

    const BusBinding& bus_;
    RecordSeries* series_;
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
    RecordSeries series(options.path, options.compressed, options.split, options.keep);
    CounterValues before = ReadCounters(bus);
    const uint64_t start = ClockTicks();
    if (!series.Open(WallClockNow())) {
        PrintMessage("velkctl: %s\n", series.Fault().c_str());
        return kExitIo;
    }
    CatchStopRequests();
    RecordSink sink(bus, &series, start);
    const bool filtering = !options.filter.PassesAll();
    ReceiveOptions receive = { options.mask, options.count, options.durationMicros, 0,
                               filtering ? &options.filter : NULL };
    int end = ReceiveBusMessages(bus, window, receive, &sink);
    double seconds = static_cast<double>(ClockMicrosSince(sink.Started())) / 1e6;
    bool written = series.Close();
    // What is really in the files: a failed write cut the part back to its last whole line.
    const uint64_t inFiles = series.Written();
    StopHandled();

    if (end < 0) {
        PrintMessage("velkctl: record refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    CounterValues after = ReadCounters(bus);
    bool losing = false;
    std::string change = FormatCounterChange(before, after, &losing);
    std::string recorded = CountOf(inFiles, "message");
    if (filtering)
        recorded = FormatText(N_("%s (%llu filtered out)"), recorded.c_str(),
                              static_cast<unsigned long long>(sink.FilteredOutCount()));
    PrintMessage("velkctl: recorded %s to %s in %.3f s; bus: %s\n", recorded.c_str(),
                 series.Describe().c_str(), seconds, change.c_str());
    if (series.Deleted() != 0)
        PrintMessage("velkctl: --keep deleted the oldest %s, %s to %s\n", CountOf(series.Deleted(), "part").c_str(),
                     series.FirstDeleted().c_str(), series.LastDeleted().c_str());
    PrintRecordWarnings(losing, sink.Expired(), end);
    if (!written) {
        PrintMessage("velkctl: %s; %s received not written, the recording stopped\n",
                     series.Fault().c_str(),
                     CountOf(sink.Received() - inFiles, "message").c_str());
        return kExitIo;
    }
    return kExitOk;
}
