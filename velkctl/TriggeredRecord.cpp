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
#include "velkctl/RecordSeries.h"
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
// cannot be made fails at once. A file per trigger (FILE, or FILE-1,
// FILE-2, ... with --retrigger); with --split every window goes into one
// series of parts instead (velkctl/RecordSeries.h), split and kept as a
// whole recording is, the time between windows a gap.
class TriggerFiles : public TriggerSink {
public:
    TriggerFiles(const RecordOptions& options, const TriggerOptions& trigger)
        : options_(options), trigger_(trigger), start_(WallClockNow()) {}

    bool Split() const { return options_.split.bytes != 0 || options_.split.micros != 0; }

    std::string PathOf(unsigned number) const
    {
        // The name Windows gives the file, which the summary names.
        return trigger_.numbered && !Split() ? NumberedRecordPath(options_.path, number)
                                             : FileNameAsMade(options_.path);
    }

    // The first file with its header; false with it said in *error.
    bool MakeFirst(std::string* error)
    {
        current_ = 1;
        if (!MakeSeries(1)) {
            *error = series_->Fault();
            return false;
        }
        return true;
    }

    void Begin(unsigned number, uint64_t triggerMicros, bool cut) override
    {
        open_ = true;
        current_ = number;
        fileMessages_ = 0;
        if (number > 1 && failed_ == 0 && !Split() && !MakeSeries(number)) {
            Fail(number, series_->Fault());
            series_.reset();
            return;
        }
        if (!series_)
            return;
        header_ = Pending{ true, number, triggerMicros, cut };
        cutFiles_ += cut ? 1 : 0;
        // Apart, the header goes at once; in a series it goes with the window's first message, in its part.
        if (!Split()) {
            series_->File().Add(HeaderLines(0));
            header_.waiting = false;
            CheckWrites();
        }
    }

    void Write(const RecordedMessage& message, bool trigger) override
    {
        if (!series_) {
            ++unwritten_;
            return;
        }
        // Windows that overlap share messages: in one series each is written once, in order.
        if (Split() && message.micros < lastMicros_)
            return;
        lastMicros_ = message.micros;
        std::string lines = Lines(message, trigger);
        if (series_->StartsNewPart(lines.size() + 1, message.micros)) {
            if (!series_->NextPart(message.micros)) {
                CheckWrites();
                ++unwritten_;
                return;
            }
            fileMessages_ = 0;
            lines = Lines(message, trigger);
        }
        series_->File().Add(lines);
        header_.waiting = false;
        expired_ += message.expired ? 1 : 0;
        ++written_;
        ++fileMessages_;
        CheckWrites();
    }

    void End(unsigned number) override
    {
        open_ = false;
        if (!series_)
            return;
        if (Split()) {
            series_->File().Flush();
            CheckWrites();
            if (failed_ == 0)
                last_ = number;
            return;
        }
        if (!series_->Close())
            CheckWrites();
        series_.reset();
        if (failed_ == 0)
            last_ = number;
    }

    void Flush()
    {
        if (series_) {
            series_->File().Flush();
            CheckWrites();
        }
    }

    uint64_t DueTicks() const { return series_ ? series_->File().MemberDueTicks() : UINT64_MAX; }

    // After the recording: the series or the first file closes, and the
    // first goes if no trigger wrote it.
    bool RemoveUnused()
    {
        if (!series_)
            return false;
        if (last_ != 0 || open_) {
            if (!series_->Close())
                CheckWrites();
            return false;
        }
        series_->Close();
        const std::string first = series_->FirstName();
        series_.reset();
        return options_.path != "-" && remove(first.c_str()) == 0;
    }

    // What the summary names: a file, files, or the series' parts.
    std::string Said(unsigned count) const
    {
        if (Split())
            return said_;
        std::string first = QuotePath(PathOf(1));
        return count == 1 ? first : first + " to " + QuotePath(PathOf(count));
    }
    std::string FirstSaid() const { return Split() ? said_ : QuotePath(PathOf(1)); }

    bool Open() const { return open_; }
    bool Failed() const { return failed_ != 0; }
    unsigned Last() const { return last_; }
    uint64_t Written() const { return written_; }
    uint64_t Unwritten() const { return unwritten_; }
    uint64_t Expired() const { return expired_; }
    unsigned CutFiles() const { return cutFiles_; }
    unsigned Deleted() const { return deleted_; }
    const std::string& DeletedSaid() const { return deletedSaid_; }
    const std::string& Failure() const { return failure_; }

private:
    bool MakeSeries(unsigned number)
    {
        const std::string path = Split() || options_.path == "-" ? options_.path : PathOf(number);
        series_.reset(new RecordSeries(path, options_.compressed, options_.split, options_.keep));
        if (!series_->Open(start_))
            return false;
        said_ = series_->Describe();
        return true;
    }

    uint64_t PartMicros(uint64_t micros) const { return Split() ? std::min(series_->PartMicros(), micros) : 0; }

    // The trigger's header (and the note of a cut pre-window), its time counted from the part's start.
    std::string HeaderLines(uint64_t partMicros) const
    {
        std::string lines = FormatTriggerHeader(trigger_.text, header_.number, header_.micros - std::min(partMicros, header_.micros),
                                                trigger_.preMicros, trigger_.postMicros);
        if (header_.cut)
            lines += std::string("\n") + kTriggerCutNote;
        return lines;
    }

    // The notes and the message reach the file together or not at all.
    std::string Lines(RecordedMessage message, bool trigger) const
    {
        std::string lines;
        if (Split() && header_.waiting)
            lines = HeaderLines(PartMicros(message.micros)) + "\n";
        if (message.expired)
            lines += std::string(kExpiredNote) + "\n";
        if (trigger)
            lines += std::string(kTriggerMark) + "\n";
        message.micros -= PartMicros(message.micros);
        return lines + FormatRecordLine(message);
    }

    // The first failed write ends the recording: the messages of this file
    // it cut off are counted as not written, and nothing more is written.
    void CheckWrites()
    {
        if (!series_)
            return;
        said_ = series_->Describe();
        deleted_ = series_->Deleted();
        if (deleted_ != 0)
            deletedSaid_ = FormatText(N_("--keep deleted the oldest %s, %s to %s"), CountOf(deleted_, "part").c_str(),
                                      series_->FirstDeleted().c_str(), series_->LastDeleted().c_str());
        if (!series_->Failed())
            return;
        const LineFile& file = series_->File();
        const uint64_t lost = std::min<uint64_t>(fileMessages_, file.Failed() ? file.Added() - file.Written() : 0);
        written_ -= std::min(written_, lost);
        unwritten_ += lost;
        const std::string why = series_->Fault();
        series_->Close();
        series_.reset();
        Fail(current_, why);
    }

    void Fail(unsigned number, const std::string& why)
    {
        if (failed_ == 0) {
            failure_ = why;
            failed_ = number;
            RequestStop();
        }
    }

    const RecordOptions& options_;
    const TriggerOptions& trigger_;
    WallTime start_;
    std::unique_ptr<RecordSeries> series_;
    std::string said_;
    bool open_ = false;
    unsigned current_ = 0;   // the file being written
    unsigned last_ = 0;      // the last file written whole
    unsigned failed_ = 0;    // the first file that failed; 0: none
    std::string failure_;
    uint64_t written_ = 0, unwritten_ = 0, expired_ = 0;
    uint64_t fileMessages_ = 0;   // message lines added to the file being written
    unsigned cutFiles_ = 0;
    unsigned deleted_ = 0;
    std::string deletedSaid_;
    uint64_t lastMicros_ = 0;     // of the last message written, with --split
    struct Pending {
        bool waiting;
        unsigned number;
        uint64_t micros;
        bool cut;
    } header_ = {};               // the trigger's header, not yet written
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

    // A compressed member ends a second after its first message (velkctl/Record.cpp).
    uint64_t DueTicks() override { return files_->DueTicks(); }
    void Due() override { files_->Flush(); }

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

} // namespace

int RecordTriggered(const BusBinding& bus, HWND window, const RecordOptions& options, const TriggerOptions& trigger)
{
    TriggerFiles files(options, trigger);
    std::string why;
    if (!files.MakeFirst(&why)) {
        PrintMessage("velkctl: %s\n", why.c_str());
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
                         files.FirstSaid().c_str());
        else
            PrintMessage("velkctl: trigger %s never fired: no file written\n", predicate.c_str());
    } else {
        PrintMessage("velkctl: trigger %s fired %s of at most %u (it held on %s): %s\n", predicate.c_str(),
                     CountOf(fired, "time").c_str(), trigger.files, CountOf(sink.Held(), "message").c_str(),
                     files.Said(fired).c_str());
    }
    if (files.Deleted() != 0)
        PrintMessage("velkctl: %s\n", files.DeletedSaid().c_str());
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
