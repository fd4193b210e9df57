#include "velkctl/Session.h"

#include <inttypes.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "client/ExitStatus.h"
#include "client/LinesAndBus.h"
#include "client/SignalsOption.h"
#include "common/FormatText.h"
#include "velkctl/SessionAnswer.h"
#include "velkctl/SessionBook.h"
#include "velkctl/SessionRequest.h"
#include "protocol/MessageCode.h"
#include "signals/DatabaseResolver.h"
#include "signals/SignalSends.h"
#include "velk/VelkResults.h"
#include "velkctl/Replay.h"
#include "windows/Clock.h"
#include "windows/SystemCodePage.h"

namespace {

// How often pending waits are looked at: an expect's timeout comes this late at most.
const uint64_t kTickMicros = 10000;
// Answers and messages that may wait for a slow reader; past it messages are
// dropped (counted) and requests wait on standard input.
const size_t kOutputBound = 8u << 20;
// After Ctrl+C, how long what waits may still take to go out.
const DWORD kFinishGraceMs = 250;

class SessionHandler : public LineHandler {
public:
    SessionHandler(const BusBinding& bus, HWND window, const SignalDatabase& signals)
        : bus_(bus), window_(window), pages_(WindowsSignalCodePages()),
          resolver_(signals.SignalCount() > 0 ? new DatabaseResolver(signals, pages_) : nullptr),
          book_(resolver_.get(), [this](const RecordedMessage& message, bool expired) {
              return FormatSessionMessage(message, expired, SystemCodePage(), Signals(message));
          }),
          start_(ClockTicks()) {}

    void Begin(OutputLines* output) override { out_ = output; }

    void Receive(UINT code, LPARAM dataWord) override
    {
        if (finished_ || !book_.Wants(code)) {
            // Whatever a library keeps for a payload until it is fetched goes too.
            if (ClassifyCode(code) != kValueMessage) {
                int length = 0;
                FetchPayload(bus_, dataWord, &length);
            }
            return;
        }
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, Now(), &expired);
        std::vector<std::string> lines;
        book_.Take(message, expired, &lines);
        // What the reader is too slow for is dropped here, not kept without end.
        for (const std::string& line : lines)
            out_->WriteIfRoom(line);
    }

    void Idle() override { Settle(); }

    bool Tick() override
    {
        Settle();
        return !finished_;
    }

    void Line(uint64_t number, const std::string& text) override { HandleLine(number, text); }

    void TooLong(uint64_t number, uint64_t length) override
    {
        Write(FormatErrorAnswer(SessionRequest(),
                                FormatText("line %llu: a request of %llu bytes is too long (at most %d)",
                                           static_cast<unsigned long long>(number),
                                           static_cast<unsigned long long>(length),
                                           static_cast<int>(kMaxRequestBytes))));
    }

    void InputEnded(bool failed, const std::string& why) override
    {
        if (failed) {
            fprintf(stderr, "velkctl: session: cannot read standard input (%s)\n", why.c_str());
            inputFailed_ = true;
        }
        ending_ = true;
    }

    bool TakesLines() const override { return !ending_; }

    void OutputFailed(const std::string& why) override
    {
        outFailed_ = true;
        finished_ = true;
        fprintf(stderr, "velkctl: session: cannot write to standard output (%s): its reader has gone\n", why.c_str());
    }

    bool WriteFailed() const { return outFailed_; }
    uint64_t Dropped() const { return out_ != nullptr ? out_->Dropped() : 0; }
    bool InputFailed() const { return inputFailed_; }

private:
    uint64_t Now() const { return ClockMicrosSince(start_); }

    // The message's signals, decoded once for the predicates and the answer.
    SignalValues Signals(const RecordedMessage& message) const
    {
        SignalValues values;
        if (resolver_ == nullptr)
            return values;
        for (const DecodedSignal& signal : resolver_->Decoded(message)) {
            if (signal.missing || signal.isText)
                continue;
            values.push_back(SignalValue{ signal.signal->name, signal.physical,
                                          signal.enumName != nullptr ? *signal.enumName : std::string() });
        }
        return values;
    }

    // Waits whose time is up are answered; at the end, once none waits, the session closes.
    void Settle()
    {
        if (finished_)
            return;
        std::vector<std::string> lines;
        book_.Expire(Now(), &lines);
        Write(lines);
        if (ending_ && !book_.Waiting()) {
            if (quitting_)
                Write(FormatOkAnswer(quitId_));
            finished_ = true;
        }
    }

    void HandleLine(uint64_t number, const std::string& text)
    {
        SessionRequest request;
        std::string error;
        if (!ParseSessionRequest(text, number, resolver_.get(), &request, &error)) {
            Write(FormatErrorAnswer(request, error));
            return;
        }
        std::string answer;
        if (!Do(request, &answer, &error))
            answer = FormatErrorAnswer(request, FormatText("line %llu: ", static_cast<unsigned long long>(number)) +
                                                    error);
        if (!answer.empty())
            Write(answer);
    }

    // The request done; *answer empty for one answered later.
    bool Do(const SessionRequest& request, std::string* answer, std::string* error)
    {
        switch (request.op) {
        case kSessionPost:
            if (!Post(request, error))
                return false;
            break;
        case kSessionExpect:
        case kSessionCollect:
        case kSessionRate:
            return book_.Arm(request, Now(), error);
        case kSessionVarGet:
            *answer = FormatOkAnswer(request.id, FormatText(",\"index\":%u,\"value\":%d", request.index,
                                                            bus_.vGetPublicVar(static_cast<int>(request.index))));
            return true;
        case kSessionVarSet: {
            int result = bus_.vSetPublicVar(static_cast<int>(request.index), request.value);
            if (result < 0)
                return Refused("the variable", result, error);
            break;
        }
        case kSessionClients:
            *answer = FormatClientsAnswer(request.id, Clients());
            return true;
        case kSessionCounters:
            *answer = FormatCountersAnswer(request.id, ReadCounters(bus_));
            return true;
        case kSessionSubscribe: {
            uint64_t sub = 0;
            if (!book_.Subscribe(request.pattern, &sub, error))
                return false;
            *answer = FormatOkAnswer(request.id, FormatText(",\"sub\":%llu", static_cast<unsigned long long>(sub)));
            return true;
        }
        case kSessionUnsubscribe:
            if (!book_.Unsubscribe(request.sub)) {
                *error = FormatText("no subscription %llu", static_cast<unsigned long long>(request.sub));
                return false;
            }
            break;
        case kSessionQuit:
            // Answered once the pending requests are.
            quitting_ = true;
            quitId_ = request.id;
            ending_ = true;   // nothing after quit is read
            return true;
        }
        *answer = FormatOkAnswer(request.id);
        return true;
    }

    bool Post(const SessionRequest& request, std::string* error)
    {
        RecordedMessage message = { 0, request.pattern.code, ClassifyCode(request.pattern.code), request.value,
                                    std::string() };
        if (!request.signal.empty() && request.postKind == kPostText) {
            if (!EncodeNamedText(resolver_->Database(), request.signal, request.payload, GbkFromUtf8, &message.code,
                                 &message.bytes, error))
                return false;
        } else if (!request.signal.empty()) {
            if (!resolver_->EncodeSignal(request.signal, request.signalValue, &message, error))
                return false;
        } else if (request.postKind == kPostText) {
            message.bytes = SystemFromUtf8(request.payload);
            if (message.bytes.size() > kMaxRecordedPayload) {
                *error = FormatText("the text is %zu bytes in the system code page, more than the bus takes (%d)",
                                    message.bytes.size(), static_cast<int>(kMaxRecordedPayload));
                return false;
            }
        } else if (request.postKind == kPostBytes) {
            message.bytes = request.payload;
        }
        int result = PostRecordedMessage(bus_, window_, message);
        return result >= 0 || Refused("the post", result, error);
    }

    static bool Refused(const char* what, int result, std::string* error)
    {
        *error = FormatText("the bus refused %s: %s (%d)", what, VelkResultText(result), result);
        return false;
    }

    std::vector<SessionClient> Clients() const
    {
        std::vector<SessionClient> clients = ParseClientList(bus_.vGetInfo(kInfoHandles));
        for (SessionClient& client : clients)
            client.name = Utf8FromSystem(client.name);
        return clients;
    }

    void Write(const std::vector<std::string>& lines)
    {
        for (const std::string& line : lines)
            Write(line);
    }

    // Answers are never dropped: a full output holds back the requests instead.
    void Write(const std::string& line) { out_->Write(line); }

    const BusBinding& bus_;
    HWND window_;
    const SignalCodePages pages_;
    std::unique_ptr<DatabaseResolver> resolver_;
    SessionBook book_;
    const uint64_t start_;
    OutputLines* out_ = nullptr;
    bool ending_ = false;       // no more requests: input ended or quit
    bool quitting_ = false;
    uint64_t quitId_ = 0;
    bool finished_ = false;     // everything answered: the loop ends at the next tick
    bool outFailed_ = false;
    bool inputFailed_ = false;
};

} // namespace

int RunSession(const BusBinding& bus, HWND window, const SignalDatabase& signals)
{
    SessionHandler handler(bus, window, signals);
    // Every type, its own posts too: a script expects what it posted itself.
    LinesAndBusOptions options = { "session", kMaxRequestBytes, kOutputBound, kFinishGraceMs,
                                   { kAllTypeBits, 0, 0, kTickMicros, NULL } };
    uint64_t unwritten = 0;
    int end = RunLinesAndBus(bus, window, options, &handler, &unwritten);
    if (end == kLinesAndBusCannotStart)
        return kExitCrashed;
    if (end < 0) {
        fprintf(stderr, "velkctl: session refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    if (end == kReceiveSessionEnded)
        fprintf(stderr, "velkctl: the session ended\n");
    bool lost = handler.Dropped() != 0 || unwritten != 0;
    if (lost && !handler.WriteFailed())
        fprintf(stderr, "velkctl: session: standard output was not read fast enough: %" PRIu64
                        " messages dropped, %" PRIu64 " lines left unwritten at the end\n",
                handler.Dropped(), unwritten);
    return handler.WriteFailed() || handler.InputFailed() || lost ? kExitIo : kExitOk;
}
