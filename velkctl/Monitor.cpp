#include "velkctl/Monitor.h"

#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <map>

#include "protocol/LogLines.h"
#include "common/FormatText.h"
#include "windows/Clock.h"
#include "client/InputFile.h"
#include "formats/JsonLine.h"
#include "client/ReceiveLoop.h"
#include "client/SignalsOption.h"
#include "signals/LateGaps.h"
#include "signals/MessageCheck.h"
#include "signals/SignalText.h"
#include "windows/StopSignal.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"

namespace {

const void* FetchForLogLine(void* context, intptr_t dataWord, int32_t* length)
{
    const BusBinding* bus = static_cast<const BusBinding*>(context);
    int fetched = 0;
    const char* bytes = FetchPayload(*bus, static_cast<LPARAM>(dataWord), &fetched);
    *length = fetched;
    return bytes;
}

// A payload fetched once, for both the raw line and the signals.
struct FetchedPayload {
    const char* bytes;
    int32_t length;
};

const void* FetchedAlready(void* context, intptr_t, int32_t* length)
{
    const FetchedPayload* fetched = static_cast<const FetchedPayload*>(context);
    *length = fetched->length;
    return fetched->bytes;
}

// Lines go out when the queue runs empty, so whoever reads a pipe sees each
// message as it comes without a flush per line under a flood.
class MonitorSink : public MessageSink {
public:
    MonitorSink(const BusBinding& bus, FILE* out, const MonitorOptions& options)
        : bus_(bus), out_(out), jsonLines_(options.jsonLines), time_(options.time), start_(ClockTicks()),
          wallStart_(WallClockNow()), signals_(options.signals), pages_(WindowsSignalCodePages()) {}

    void Receive(UINT code, LPARAM dataWord) override
    {
        const SignalMessage* named = signals_ != nullptr ? signals_->FindCode(code) : nullptr;
        std::string line;
        if (jsonLines_)
            line = JsonLine(code, dataWord, named);
        else if (named == nullptr)
            line = TextLine(code, dataWord, FetchForLogLine, const_cast<BusBinding*>(&bus_));
        else
            line = SignalLines(code, dataWord, *named);
        fputs(line.c_str(), out_);
        fputc('\n', out_);
        ++shown_;
    }

    void FilteredOut(UINT) override { ++filteredOut_; }

    void Idle() override { fflush(out_); }

    uint64_t Shown() const { return shown_; }
    uint64_t LateCount() const { return lateCount_; }
    uint64_t FilteredOutCount() const { return filteredOut_; }

private:
    // The console's line, but that a payload's ESC or C1 bytes reach the
    // terminal escaped, as top and the JSON lines show them.
    std::string TextLine(UINT code, LPARAM dataWord, PayloadFetcher fetch, void* context)
    {
        return EscapeLineControls(time_ == kMonitorTimeConsole ? ConsoleLine(code, dataWord, fetch, context)
                                                               : TimedLine(code, dataWord, fetch, context),
                                  SystemCodePage());
    }

    // The raw line, then the signals indented on their own line (the
    // console's code page, as the raw line): a raw line stays what it
    // always was, for whatever reads it.
    std::string SignalLines(UINT code, LPARAM dataWord, const SignalMessage& named)
    {
        FetchedPayload fetched = { NULL, 0 };
        if (named.kind != kValueMessage)
            fetched.bytes = FetchPayload(bus_, dataWord, &fetched.length);
        std::string line = TextLine(code, dataWord, FetchedAlready, &fetched);
        if (named.kind != kValueMessage && fetched.bytes == NULL) {
            checks_.Forget(code);
            return line;   // gone before it was fetched: nothing to decode
        }
        std::string bytes(fetched.bytes != NULL ? fetched.bytes : "", static_cast<size_t>(fetched.length));
        DecodeMessage(named, static_cast<int32_t>(dataWord), bytes, pages_, &decoded_);
        std::string signals = FormatSignalsLine(decoded_);
        if (HasChecks(named)) {
            const std::string marks = FormatFaultMarks(checks_.Check(named, static_cast<int32_t>(dataWord), bytes));
            if (!marks.empty())
                signals = marks + "  " + signals;
        }
        uint64_t gap = 0;
        if (Late(code, named, ClockMicrosSince(start_), &gap))
            signals = FormatText("~%.0fms  ", static_cast<double>(gap) / 1e3) + signals;
        return line + "\n    " + (IsAscii(signals) ? signals : SystemFromUtf8(signals));
    }

    // A message of a code with a period more than twice it after the one before; *gap that interval.
    bool Late(UINT code, const SignalMessage& named, uint64_t micros, uint64_t* gap)
    {
        if (named.periodMicros == 0 || !gaps_[code].Receive(micros, named.periodMicros, gap))
            return false;
        ++lateCount_;
        return true;
    }

    // Most lines: then no conversion through UTF-16 under a flood.
    static bool IsAscii(const std::string& text)
    {
        for (char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
        }
        return true;
    }

    // Milliseconds since the previous message, as the console counts them:
    // the first message measures from tick 0, and the difference wraps at 2^32.
    std::string ConsoleLine(UINT code, LPARAM dataWord, PayloadFetcher fetch, void* context)
    {
        uint32_t now = GetTickCount();
        uint32_t delta = now - lastTick_;
        lastTick_ = now;
        return FormatIncomingLine(delta, code, static_cast<intptr_t>(dataWord), fetch, context);
    }

    // The console's line with the time --time asks for in place of its delta.
    std::string TimedLine(UINT code, LPARAM dataWord, PayloadFetcher fetch, void* context)
    {
        uint64_t micros = ClockMicrosSince(start_);
        std::string stamp;
        if (time_ == kMonitorTimeAbsolute)
            stamp = FormatLocalTime(WallTimeAfter(wallStart_, micros));
        else if (time_ == kMonitorTimeRelative)
            stamp = FormatSeconds(micros);
        else
            stamp = FormatMillis(micros - lastMicros_);
        lastMicros_ = micros;
        return stamp + ' ' + FormatIncomingBody(code, static_cast<intptr_t>(dataWord), fetch, context);
    }

    std::string JsonLine(UINT code, LPARAM dataWord, const SignalMessage* named)
    {
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, ClockMicrosSince(start_), &expired);
        uint64_t delta = message.micros - lastMicros_;
        lastMicros_ = message.micros;
        std::string time;
        if (time_ == kMonitorTimeAbsolute)
            time = FormatLocalTime(WallTimeAfter(wallStart_, message.micros));
        std::string line = FormatJsonLine(message, delta, expired, SystemCodePage(), time);
        if (named != nullptr && expired)
            checks_.Forget(code);
        if (named != nullptr && !expired) {
            DecodeMessage(*named, message.value, message.bytes, pages_, &decoded_);
            std::string members = ",\"signals\":" + FormatSignalsJson(decoded_);
            const MessageFaults faults = HasChecks(*named) ? checks_.Check(*named, message.value, message.bytes)
                                                           : MessageFaults();
            if (faults.Any())
                members += ",\"faults\":" + FormatFaultsJson(faults);
            uint64_t gap = 0;
            if (Late(code, *named, message.micros, &gap))
                members += FormatText(",\"late_ms\":%.3f", static_cast<double>(gap) / 1e3);
            line.insert(line.size() - 1, members);
        }
        return line;
    }

    const BusBinding& bus_;
    FILE* out_;
    bool jsonLines_;
    MonitorTime time_;
    uint64_t start_;
    WallTime wallStart_;
    uint64_t lastMicros_ = 0;
    uint32_t lastTick_ = 0;
    uint64_t shown_ = 0;
    uint64_t filteredOut_ = 0;
    const SignalDatabase* signals_;
    SignalCodePages pages_;
    std::vector<DecodedSignal> decoded_;   // kept, so a flood allocates nothing
    MessageChecks checks_;
    std::map<uint32_t, LateGaps> gaps_;   // the codes of the signal file with a period
    uint64_t lateCount_ = 0;
};

} // namespace

int RunMonitor(const BusBinding& bus, HWND window, const MonitorOptions& options)
{
    FILE* out = stdout;
    if (!options.outPath.empty()) {
        out = fopen(options.outPath.c_str(), "wb");
        if (out == NULL) {
            PrintMessage("velkctl: cannot create %s: %s\n", QuotePath(options.outPath).c_str(), strerror(errno));
            return kMonitorFileFailed;
        }
    }
    CatchStopRequests();
    MonitorSink sink(bus, out, options);
    const bool filtering = !options.filter.PassesAll();
    ReceiveOptions receive = { options.mask, options.count, options.timeoutMicros, 0,
                               filtering ? &options.filter : NULL };
    const uint64_t start = ClockTicks();
    int end = ReceiveBusMessages(bus, window, receive, &sink);
    // What was left out, when filtering; how much came, when stopped by hand.
    if (end >= 0 && (filtering || end == kReceiveStopped)) {
        std::string summary = FormatText(N_("%s shown"), CountOf(sink.Shown(), "message").c_str());
        if (filtering)
            summary = FormatText(N_("%s, %llu filtered out"), summary.c_str(),
                                 static_cast<unsigned long long>(sink.FilteredOutCount()));
        if (end == kReceiveStopped)
            summary = FormatText(N_("monitor stopped: %s in %.3f s"), summary.c_str(),
                                 static_cast<double>(ClockMicrosSince(start)) / 1e6);
        else
            summary = "monitor: " + summary;
        PrintMessage("velkctl: %s\n", summary.c_str());
    }
    if (sink.LateCount() != 0)
        PrintMessage("velkctl: monitor: %s\n",
                     FormatText(N_("%s came more than twice their period after the one before (marked ~)"),
                                CountOf(sink.LateCount(), "message").c_str()).c_str());
    bool written = out == stdout || (!ferror(out) && fclose(out) == 0);
    StopHandled();
    if (!written) {
        PrintMessage("velkctl: cannot write %s: %s\n", QuotePath(options.outPath).c_str(), strerror(errno));
        return kMonitorFileFailed;
    }
    switch (end) {
    case kReceiveCountReached: return kMonitorCountReached;
    case kReceiveTimeUp: return kMonitorTimedOut;
    case kReceiveSessionEnded: return kMonitorSessionEnded;
    case kReceiveStopped: return kMonitorStopped;
    default: return end;
    }
}
