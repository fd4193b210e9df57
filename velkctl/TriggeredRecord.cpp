// record --trigger: the ring of velkctl/TriggerRing.h fed from the bus, its
// files written as recordings with the trigger marked (velkctl/TriggerFile.h).
#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include "client/InputFile.h"
#include "client/ReceiveLoop.h"
#include "common/Escapes.h"
#include "common/FileName.h"
#include "common/FormatText.h"
#include "formats/RecordLine.h"
#include "velkctl/TriggerEdge.h"
#include "velkctl/TriggerFile.h"
#include "velkctl/TriggerRing.h"
#include "protocol/BusCounters.h"
#include "velk/VelkApi.h"
#include "velkctl/CommandOutcome.h"
#include "velkctl/Record.h"
#include "windows/Clock.h"
#include "windows/LineFile.h"
#include "windows/StopSignal.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"

namespace {

// The ring's bound in memory, whatever --pre asks for.
const size_t kRingMessages = 1 << 19;
const size_t kRingBytes = 32 << 20;
// How often a post-window is looked at while no message comes.
const uint64_t kTickMicros = 20000;

// The files, the first made before the recording starts so that a path that
// cannot be made fails at once.
class TriggerFiles : public TriggerSink {
public:
    TriggerFiles(const RecordOptions& options, const TriggerOptions& trigger)
        : options_(options), trigger_(trigger), start_(WallClockNow()) {}

    std::string PathOf(unsigned number) const
    {
        // The name Windows gives the file, which the summary names.
        return trigger_.numbered ? NumberedRecordPath(options_.path, number) : FileNameAsMade(options_.path);
    }

    // The first file with its header; false with why in *error.
    bool MakeFirst(std::string* error)
    {
        current_ = 1;
        file_.reset(new LineFile);
        if (!file_->Create(PathOf(1), options_.compressed)) {
            *error = strerror(errno);
            return false;
        }
        file_->Add(kRecordHeader);
        file_->Add(FormatStartLine(start_));
        if (!file_->Flush()) {
            *error = file_->ErrorText();
            return false;
        }
        return true;
    }

    void Begin(unsigned number, uint64_t triggerMicros, bool cut) override
    {
        open_ = true;
        current_ = number;
        fileMessages_ = 0;
        if (number > 1 && failed_ == 0) {
            file_.reset(new LineFile);
            if (!file_->Create(PathOf(number), options_.compressed)) {
                Fail(number, "create", strerror(errno));
                file_.reset();
                return;
            }
            file_->Add(kRecordHeader);
            file_->Add(FormatStartLine(start_));
        }
        if (!file_)
            return;
        file_->Add(FormatTriggerHeader(trigger_.text, number, triggerMicros, trigger_.preMicros, trigger_.postMicros));
        if (cut) {
            file_->Add(kTriggerCutNote);
            ++cutFiles_;
        }
        CheckWrites();
    }

    void Write(const RecordedMessage& message, bool trigger) override
    {
        if (!file_) {
            ++unwritten_;
            return;
        }
        // A message's comment lines reach the file with it or not at all.
        std::string lines;
        if (message.expired) {
            lines = std::string(kExpiredNote) + "\n";
            ++expired_;
        }
        if (trigger)
            lines += std::string(kTriggerMark) + "\n";
        file_->Add(lines + FormatRecordLine(message));
        ++written_;
        ++fileMessages_;
        CheckWrites();
    }

    void End(unsigned number) override
    {
        open_ = false;
        if (file_ && !file_->Close())
            CheckWrites();
        file_.reset();
        if (failed_ == 0)
            last_ = number;
    }

    void Flush()
    {
        if (file_) {
            file_->Flush();
            CheckWrites();
        }
    }

    // After the recording: the first file closes, and goes if no trigger wrote it.
    bool RemoveUnused()
    {
        if (!file_ || last_ != 0 || open_)
            return false;
        file_->Close();
        file_.reset();
        return options_.path != "-" && remove(PathOf(1).c_str()) == 0;
    }

    bool Open() const { return open_; }
    bool Failed() const { return failed_ != 0; }
    unsigned Last() const { return last_; }
    uint64_t Written() const { return written_; }
    uint64_t Unwritten() const { return unwritten_; }
    uint64_t Expired() const { return expired_; }
    unsigned CutFiles() const { return cutFiles_; }
    const std::string& Failure() const { return failure_; }

private:
    // The first failed write ends the recording: the messages of this file
    // it cut off are counted as not written, and nothing more is written.
    void CheckWrites()
    {
        if (!file_ || !file_->Failed())
            return;
        const uint64_t lost = std::min<uint64_t>(fileMessages_, file_->Added() - file_->Written());
        written_ -= lost;
        unwritten_ += lost;
        const std::string why = file_->ErrorText();
        file_->Close();
        file_.reset();
        Fail(current_, "write", why);
    }

    void Fail(unsigned number, const char* what, const std::string& why)
    {
        if (failed_ == 0) {
            failure_ = FormatText("cannot %s %s: %s", what, QuotePath(PathOf(number)).c_str(), why.c_str());
            failed_ = number;
            RequestStop();
        }
    }

    const RecordOptions& options_;
    const TriggerOptions& trigger_;
    WallTime start_;
    std::unique_ptr<LineFile> file_;
    bool open_ = false;
    unsigned current_ = 0;   // the file being written
    unsigned last_ = 0;      // the last file written whole
    unsigned failed_ = 0;    // the first file that failed; 0: none
    std::string failure_;
    uint64_t written_ = 0, unwritten_ = 0, expired_ = 0;
    uint64_t fileMessages_ = 0;   // message lines added to the file being written
    unsigned cutFiles_ = 0;
};

// Every message to the predicate; those the filters pass to the ring.
class TriggerSinkOnBus : public MessageSink {
public:
    TriggerSinkOnBus(const BusBinding& bus, const RecordOptions& options, const TriggerOptions& trigger,
                     TriggerFiles* files)
        : bus_(bus), options_(options), files_(files), evaluator_(trigger.predicate, trigger.signals),
          edge_(trigger.predicate.pattern, trigger.level),
          ring_({ trigger.preMicros, trigger.postMicros, trigger.files, kRingMessages, kRingBytes }, files),
          start_(ClockTicks()) {}

    void Receive(UINT code, LPARAM dataWord) override
    {
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, ClockMicrosSince(start_), &expired);
        message.expired = expired;
        ++received_;
        const bool holds = evaluator_.Holds(message);
        held_ += holds ? 1 : 0;
        const bool kept = options_.filter.Passes(code);
        filteredOut_ += kept ? 0 : 1;
        ring_.Add(message, edge_.Fires(code, holds), kept);
    }

    void Idle() override { files_->Flush(); }

    // All files written, or one failed: the recording is over.
    bool Tick() override
    {
        ring_.Tick(ClockMicrosSince(start_));
        return !ring_.Done() && !files_->Failed();
    }

    // The end: a post-window that is past ends as usual, one still open is cut.
    bool Finish()
    {
        ring_.Tick(ClockMicrosSince(start_));
        const bool inside = files_->Open();
        ring_.Finish();
        return inside;
    }

    uint64_t Started() const { return start_; }
    uint64_t Received() const { return received_; }
    uint64_t Held() const { return held_; }
    uint64_t FilteredOut() const { return filteredOut_; }
    uint64_t CapDropped() const { return ring_.CapDropped(); }
    unsigned Files() const { return ring_.Files(); }
    bool ChangedFull() const { return evaluator_.Full(); }

private:
    const BusBinding& bus_;
    const RecordOptions& options_;
    TriggerFiles* files_;
    PredicateEvaluator evaluator_;
    TriggerEdge edge_;
    TriggerRing ring_;
    uint64_t start_;
    uint64_t received_ = 0, held_ = 0, filteredOut_ = 0;
};

// 'rec.txt' or 'rec-1.txt' to 'rec-3.txt'.
std::string FilesSaid(const TriggerFiles& files, unsigned count)
{
    std::string first = QuotePath(files.PathOf(1));
    return count == 1 ? first : first + " to " + QuotePath(files.PathOf(count));
}

} // namespace

int RecordTriggered(const BusBinding& bus, HWND window, const RecordOptions& options, const TriggerOptions& trigger)
{
    TriggerFiles files(options, trigger);
    std::string why;
    if (!files.MakeFirst(&why)) {
        PrintMessage("velkctl: cannot create %s: %s\n",
                     options.path == "-" ? N_("standard output") : QuotePath(files.PathOf(1)).c_str(), why.c_str());
        return kExitIo;
    }
    CatchStopRequests();

    CounterValues before = ReadCounters(bus);
    TriggerSinkOnBus sink(bus, options, trigger, &files);
    ReceiveOptions receive = { options.mask, 0, options.durationMicros, kTickMicros, NULL };
    int end = ReceiveBusMessages(bus, window, receive, &sink);
    const bool cutShort = sink.Finish();
    double seconds = static_cast<double>(ClockMicrosSince(sink.Started())) / 1e6;
    const bool removed = files.RemoveUnused();
    StopHandled();

    if (end < 0) {
        PrintMessage("velkctl: record refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    CounterValues after = ReadCounters(bus);
    bool losing = false;
    std::string change = FormatCounterChange(before, after, &losing);
    std::string received = CountOf(sink.Received(), "message");
    if (!options.filter.PassesAll())
        received = FormatText(N_("%s (%llu filtered out)"), received.c_str(),
                              static_cast<unsigned long long>(sink.FilteredOut()));
    // A message in two windows is written twice: lines, not messages.
    PrintMessage("velkctl: received %s in %.3f s; wrote %s; bus: %s\n", received.c_str(), seconds,
                 CountOf(files.Written(), "message line").c_str(), change.c_str());
    const std::string predicate = QuoteInput(trigger.text);
    const unsigned fired = sink.Files();
    if (fired == 0) {
        if (removed)
            PrintMessage("velkctl: trigger %s never fired: no file written (%s removed)\n", predicate.c_str(),
                         QuotePath(files.PathOf(1)).c_str());
        else
            PrintMessage("velkctl: trigger %s never fired: no file written\n", predicate.c_str());
    } else {
        PrintMessage("velkctl: trigger %s fired %s of at most %u (it held on %s): %s\n", predicate.c_str(),
                     CountOf(fired, "time").c_str(), trigger.files, CountOf(sink.Held(), "message").c_str(),
                     FilesSaid(files, fired).c_str());
    }
    if (cutShort)
        PrintMessage("velkctl: the recording ended inside file %u's post-window: it ends early\n", fired);
    if (sink.CapDropped() != 0)
        PrintMessage("velkctl: warning: the ring's bound (%u messages, %u MiB) left %" PRIu64 " messages "
                        "of pre-windows out; %u files start late (marked)\n",
                     static_cast<unsigned>(kRingMessages), static_cast<unsigned>(kRingBytes >> 20), sink.CapDropped(),
                     files.CutFiles());
    if (sink.ChangedFull())
        PrintMessage("velkctl: warning: 'changed' follows at most %d codes; messages of the others never triggered\n",
                     static_cast<int>(PredicateEvaluator::kMaxChangedCodes));
    PrintRecordWarnings(losing, files.Expired(), end);
    if (files.Failed()) {
        PrintMessage("velkctl: %s; %" PRIu64 " messages of its window not written, the recording stopped\n",
                     files.Failure().c_str(), files.Unwritten());
        return kExitIo;
    }
    return kExitOk;
}
