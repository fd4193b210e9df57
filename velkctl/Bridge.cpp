#include "velkctl/Bridge.h"

#include <inttypes.h>
#include <stdio.h>

#include "common/FormatText.h"
#include "protocol/BusCounters.h"
#include "windows/Clock.h"
#include "velkctl/CommandOutcome.h"
#include "velkctl/BridgeBatch.h"
#include "velkctl/BridgeTopic.h"
#include "formats/JsonLine.h"
#include "common/LocalTime.h"
#include "client/LinesAndBus.h"
#include "client/ReceiveLoop.h"
#include "windows/StopSignal.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"

namespace {

// How long a flood from the bus gathers before its batch goes out: under
// Wine every wake of the bridge's thread costs trips to the server, and a
// batch a wake carries many messages for one.
const uint32_t kLingerMicros = 1000;

// Bad and refused lines are reported one by one up to this many, then only counted.
const uint64_t kMaxLineReports = 1000;

// Tells this run from any other of the same origin: the time, the process
// and the counter, mixed (splitmix64's finaliser).
std::string NewRunId()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t x = (static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) ^
                 (static_cast<uint64_t>(GetCurrentProcessId()) << 40) ^ ClockTicks();
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return FormatText("%016" PRIx64, x);
}

struct InboundCounts {
    uint64_t lines = 0;        // read from standard input
    uint64_t messages = 0;     // in them (a batch line holds several); each counted once below
    uint64_t posted = 0;
    uint64_t own = 0;
    uint64_t duplicates = 0;
    uint64_t refused = 0;      // by the accept rule
    uint64_t offTopic = 0;     // --topic-prefix: not from its origin's topic
    uint64_t bad = 0;          // malformed or too long
    uint64_t expired = 0;      // payloads that had expired at their origin
    uint64_t failed = 0;       // posts the bus refused
};

class BridgeHandler : public LineHandler {
public:
    BridgeHandler(const BusBinding& bus, HWND window, const BridgeOptions& options)
        : bus_(bus), window_(window), options_(options), run_(NewRunId()), batch_(options.batchLines), start_(ClockTicks()),
          wallStart_(WallClockNow()),
          countersBefore_(ReadCounters(bus)) {}

    void Begin(OutputLines* output) override { out_ = output; }

    void Receive(UINT code, LPARAM dataWord) override
    {
        if (outFailed_)
            return;
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, ClockMicrosSince(start_), &expired);
        uint64_t delta = message.micros - lastMicros_;
        lastMicros_ = message.micros;
        // The wall time too: a dashboard or a historian on another machine wants when, not how long after.
        std::string time = FormatLocalTime(WallTimeOf(message.micros));
        std::string line = FormatBridgeLine(FormatJsonLine(message, delta, expired, SystemCodePage(), time),
                                            options_.origin, run_, numbered_ + 1);
        ++numbered_;
        // Lines wait while the bus has more queued, and go out together when
        // its queue runs empty or the batch is full: a lone message at once,
        // a flood in few MQTT messages.
        if (!batch_.Fits(line))
            SendBatch();
        batch_.Add(line);
        if (batch_.Full())
            SendBatch();
    }

    void FilteredOut(UINT) override { ++filteredOut_; }

    // A flood gathers for a millisecond into larger batches.
    uint32_t LingerMicros() override { return kLingerMicros; }

    void Idle() override
    {
        SendBatch();
        if (!started_) {
            started_ = true;   // registered by now
            PrintMessage("velkctl: bridge %s: run %s, on the bus\n", options_.origin.c_str(), run_.c_str());
        }
    }

    bool Tick() override
    {
        PrintCounts();
        return true;
    }

    // unwritten: the lines still waiting for the publisher at the end.
    void PrintSummary(uint64_t unwritten)
    {
        unwritten_ += unwritten;
        double seconds = static_cast<double>(ClockMicrosSince(start_)) / 1e6;
        PrintCounts();
        Report(FormatText(N_("ended after %.3f s"), seconds));
        for (const auto& entry : tracker_.Counts()) {
            const OriginCounts& counts = entry.second;
            const char* format = counts.runs == 1
                ? N_("%" PRIu64 " received, %" PRIu64 " lost, %" PRIu64 " duplicates, %" PRIu64 " late, %" PRIu64
                     " run, %" PRIu64 " suspect jumps")
                : N_("%" PRIu64 " received, %" PRIu64 " lost, %" PRIu64 " duplicates, %" PRIu64 " late, %" PRIu64
                     " runs, %" PRIu64 " suspect jumps");
            Report(FormatText(N_("from %s"), entry.first.c_str()) + ": " +
                   FormatText(format, counts.received, counts.lost, counts.duplicates, counts.late, counts.runs,
                              counts.jumps));
        }
    }

    void Line(uint64_t number, const std::string& text) override
    {
        if (text.find_first_not_of(" \t") == std::string::npos)
            return;   // blank lines are no messages
        ++in_.lines;
        HandleLine(number, text);
    }

    void TooLong(uint64_t number, uint64_t length) override
    {
        ++in_.lines;
        ++in_.messages;
        ++in_.bad;
        LineReport(number, FormatText(N_("longer than %d bytes (%" PRIu64 "): skipped"), static_cast<int>(kMaxBridgeLine),
                                      length));
    }

    void InputEnded(bool failed, const std::string& why) override
    {
        if (failed) {
            Report(FormatText(N_("cannot read standard input (%s): leaving the bus"), why.c_str()));
            inputFailed_ = true;
            RequestStop();
        } else if (options_.exitOnEof) {
            Report(FormatText(N_("standard input ended after %" PRIu64 " lines"), in_.lines));
            RequestStop();
        } else {
            Report(FormatText(N_("standard input ended after %" PRIu64 " lines; publishing goes on until Ctrl+C"),
                              in_.lines));
        }
    }

    void OutputFailed(const std::string& why) override
    {
        outFailed_ = true;
        Report(FormatText(N_("cannot write to standard output (%s): its reader has gone; leaving the bus"), why.c_str()));
    }

    bool OutputWasClosed() const { return outFailed_; }
    bool InputFailed() const { return inputFailed_; }

private:
    // The zone's offset is looked up once a second of wall time, not for
    // every message: each lookup is several calls into the system for an
    // answer that changes twice a year.
    WallTime WallTimeOf(uint64_t micros)
    {
        WallTime time = { wallStart_.utcMicros + static_cast<int64_t>(micros), offsetMinutes_ };
        if (time.utcMicros / 1000000 != offsetSecond_) {
            time = WallTimeAfter(wallStart_, micros);
            offsetMinutes_ = time.offsetMinutes;
            offsetSecond_ = time.utcMicros / 1000000;
        }
        return time;
    }

    // A publisher too slow for the bus loses the batch here, counted; its
    // seqs are used all the same, so the far end counts them lost too.
    void SendBatch()
    {
        size_t count = batch_.Count();
        if (count > 0 && !out_->WriteIfRoom(batch_.Take()))
            unwritten_ += count;
    }

    void Report(const std::string& text)
    {
        PrintMessage("velkctl: bridge %s: %s\n", options_.origin.c_str(), text.c_str());
    }

    void PrintCounts()
    {
        bool losing = false;
        std::string bus = FormatCounterChange(countersBefore_, ReadCounters(bus_), &losing);
        OriginCounts network = tracker_.Total();
        Report(FormatText(N_("out %" PRIu64 ", unwritten %" PRIu64 ", filtered %" PRIu64 "; in %" PRIu64 " lines (%" PRIu64 " messages): posted %" PRIu64 ", own %" PRIu64
                          ", duplicates %" PRIu64 ", refused %" PRIu64 ", off-topic %" PRIu64 ", bad %" PRIu64 ", expired %" PRIu64
                          ", failed %" PRIu64 "; lost %" PRIu64 ", late %" PRIu64 "; bus: %s"),
                          numbered_ - unwritten_, unwritten_, filteredOut_, in_.lines, in_.messages, in_.posted, in_.own, in_.duplicates, in_.refused, in_.offTopic, in_.bad, in_.expired,
                          in_.failed, network.lost, network.late, bus.c_str()));
        fflush(stderr);
    }

    // A line's own fault, reported with its number until there are too many.
    void LineReport(uint64_t number, const std::string& what)
    {
        ++lineReports_;
        if (lineReports_ <= kMaxLineReports)
            Report(FormatText(N_("input line %" PRIu64 ": %s"), number, what.c_str()));
        if (lineReports_ == kMaxLineReports)
            Report(N_("further bad or refused lines are only counted"));
    }

    void HandleLine(uint64_t number, const std::string& text)
    {
        ReadInputLine(text, options_.topicPrefix, &items_);
        for (const BridgeInput& item : items_) {
            ++in_.messages;
            switch (item.verdict) {
            case kInputMessage:
                HandleMessage(number, item.message);
                break;
            case kInputBad:
                ++in_.bad;
                LineReport(number, item.error);
                break;
            case kInputOffTopic:
                ++in_.offTopic;
                LineReport(number, item.error);
                break;
            }
        }
    }

    void HandleMessage(uint64_t number, const BridgeMessage& message)
    {
        SeqEvent event;
        InboundVerdict verdict = DecideInbound(options_.origin, options_.accept, message, &tracker_, &event);
        ReportSeq(message, event);
        switch (verdict) {
        case kInboundOwn:
            ++in_.own;
            if (!message.run.empty() && message.run != run_ && !namesakeReported_) {
                namesakeReported_ = true;
                Report(FormatText(N_("input line %" PRIu64 ": origin %s, run %s is not this run: another bridge "
                                     "with --origin %s (or an earlier run of this one); its lines are dropped as own"),
                                  number, message.origin.c_str(), message.run.c_str(), message.origin.c_str()));
            }
            break;
        case kInboundDuplicate:
            ++in_.duplicates;
            break;
        case kInboundExpired:
            ++in_.expired;
            LineReport(number, FormatText(N_("code %08x: the payload had expired at %s: nothing to post"),
                                          static_cast<unsigned>(message.code), message.origin.c_str()));
            break;
        case kInboundRefused:
            ++in_.refused;
            LineReport(number, FormatText(N_("code %08x refused: %s"), static_cast<unsigned>(message.code),
                                          options_.accept.given ? N_("--accept does not allow it")
                                          : N_("CONTROL messages are posted only when --accept names them")));
            break;
        case kInboundPost:
            Post(number, message);
            break;
        }
    }

    void Post(uint64_t number, const BridgeMessage& message)
    {
        RecordedMessage post = { 0, message.code, message.kind, message.value, message.bytes };
        int result = PostRecordedMessage(bus_, window_, post);
        if (result >= 0) {
            ++in_.posted;
            return;
        }
        ++in_.failed;
        LineReport(number, FormatText(N_("the bus refused the post: %s (%d)"), VelkResultText(result), result));
    }

    void ReportSeq(const BridgeMessage& message, const SeqEvent& event)
    {
        const char* origin = message.origin.c_str();
        if (event.newRun && event.previousRun.empty())
            Report(FormatText(N_("%s: run %s, first seq %" PRIu64), origin, message.run.c_str(), message.seq));
        else if (event.newRun)
            Report(FormatText(N_("%s started again: run %s (was %s), first seq %" PRIu64), origin, message.run.c_str(),
                              event.previousRun.c_str(), message.seq));
        else if (event.verdict == kSeqGap)
            Report(FormatText(N_("%s: %" PRIu64 " lost before seq %" PRIu64), origin, event.missing, message.seq));
        else if (event.verdict == kSeqJump)
            Report(FormatText(N_("%s: seq jumped from %" PRIu64 " to %" PRIu64 ", beyond the window: suspect (another "
                                 "publisher with this origin?), counted as a jump, not as lost"),
                              origin, event.newest, message.seq));
        else if (event.verdict == kSeqLate)
            Report(FormatText(N_("%s: seq %" PRIu64 " came late (after %" PRIu64 ")"), origin, message.seq, event.newest));
        else if (event.verdict == kSeqDuplicate)
            Report(FormatText(N_("%s: seq %" PRIu64 " came again: not posted"), origin, message.seq));
    }

    const BusBinding& bus_;
    HWND window_;
    const BridgeOptions& options_;
    const std::string run_;
    BridgeBatch batch_;                  // lines waiting to go out
    std::vector<BridgeInput> items_;     // the messages of the line read last
    const uint64_t start_;
    const WallTime wallStart_;
    const CounterValues countersBefore_;
    OutputLines* out_ = NULL;
    SeqTracker tracker_;
    InboundCounts in_;
    uint64_t numbered_ = 0;    // messages given a seq
    uint64_t unwritten_ = 0;   // of them, dropped or left unwritten
    uint64_t filteredOut_ = 0;
    uint64_t lastMicros_ = 0;
    int offsetMinutes_ = 0;
    int64_t offsetSecond_ = -1;          // the wall second offsetMinutes_ was looked up in
    uint64_t lineReports_ = 0;
    bool started_ = false;
    bool namesakeReported_ = false;
    bool outFailed_ = false;
    bool inputFailed_ = false;
};

} // namespace

int RunBridge(const BusBinding& bus, HWND window, const BridgeOptions& options)
{
    BridgeHandler handler(bus, window, options);
    // Registered so that what the bridge posts is never delivered back to it.
    const MessageFilter* send = options.send.PassesAll() ? NULL : &options.send;
    LinesAndBusOptions loop = { "bridge", kMaxBridgeLine, kLinesOutputBound, kLinesFinishGraceMs,
                                { options.send.SubscriptionMask() | VELK_MASK_NO_OWN_MESSAGES, 0, 0,
                                  options.statsMicros, send } };
    uint64_t unwritten = 0;
    int end = RunLinesAndBus(bus, window, loop, &handler, &unwritten);
    if (end == kLinesAndBusCannotStart)
        return kExitCrashed;
    if (end < 0) {
        PrintMessage("velkctl: bridge refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    handler.PrintSummary(unwritten);
    if (end == kReceiveSessionEnded)
        PrintMessage("velkctl: the session ended\n");
    return handler.OutputWasClosed() || handler.InputFailed() ? kExitIo : kExitOk;
}
