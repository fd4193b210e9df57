#include "velkctl/Session.h"

#include <inttypes.h>
#include <stdio.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "client/ExitStatus.h"
#include "client/LinesAndBus.h"
#include "client/SignalsOption.h"
#include "common/FormatText.h"
#include "velkctl/SessionAnswer.h"
#include "velkctl/SessionBook.h"
#include "velkctl/SessionReplay.h"
#include "velkctl/SessionRequest.h"
#include "protocol/MessageCode.h"
#include "signals/DatabaseResolver.h"
#include "signals/MessageCheck.h"
#include "signals/SignalSends.h"
#include "signals/SignalText.h"
#include "velk/VelkResults.h"
#include "client/ReceiveLoop.h"
#include "velkctl/Simulate.h"
#include "windows/Clock.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"

namespace {

// How often pending waits are looked at: an expect's timeout comes this late at most.
const uint64_t kTickMicros = 10000;
// Replays under way at once: each holds a file of its recording open.
const size_t kMaxReplays = 16;

class SessionHandler : public LineHandler {
public:
    SessionHandler(const BusBinding& bus, HWND window, const SignalDatabase& signals)
        : bus_(bus), window_(window), pages_(WindowsSignalCodePages()),
          resolver_(signals.SignalCount() > 0 ? new DatabaseResolver(signals, pages_) : nullptr),
          book_(resolver_.get(), [this](const RecordedMessage& message, bool expired) {
              return WithFaults(FormatSessionMessage(message, expired, SystemCodePage(), Signals(message, expired)));
          }),
          start_(ClockTicks())
    {
        // A simulation of the signal file's messages, run when a request asks (docs/simulate.md).
        if (!signals.Messages().empty()) {
            simulation_.reset(new Simulation(signals, GbkFromUtf8));
            if (!simulation_->Prepare("the signal file", &simulationError_))
                simulation_.reset();
            else
                sender_.reset(new SimulationSender(bus, window, simulation_.get()));
        }
    }

    ~SessionHandler() override
    {
        if (simulation_ == nullptr)
            return;
        for (const std::string& line : simulation_->Summary())
            PrintMessage("velkctl: session: simulated %s\n", line.c_str());
    }

    void Begin(OutputLines* output) override { out_ = output; }

    void Receive(UINT code, LPARAM dataWord) override
    {
        if (finished_) {
            // Whatever a library keeps for a payload until it is fetched goes too.
            if (ClassifyCode(code) != kValueMessage) {
                int length = 0;
                FetchPayload(bus_, dataWord, &length);
            }
            return;
        }
        // A code with a counter or checksum is checked on every message: a skip is judged on all of them.
        const SignalMessage* checked = resolver_ != nullptr ? resolver_->Database().FindCode(code) : nullptr;
        if (checked != nullptr && !HasChecks(*checked))
            checked = nullptr;
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, Now(), &expired);
        faults_ = MessageFaults();
        if (checked != nullptr && expired)
            checks_.Forget(code);
        else if (checked != nullptr)
            faults_ = checks_.Check(*checked, message.value, message.bytes);
        std::vector<std::string> lines;
        book_.Take(message, expired, &lines);
        // What the reader is too slow for is dropped here, not kept without end.
        for (const std::string& line : lines)
            out_->WriteIfRoom(line);
    }

    void Idle() override { Settle(); }

    uint64_t DueTicks() override
    {
        uint64_t due = sender_ != nullptr && !finished_ ? sender_->DueTicks() : UINT64_MAX;
        for (const auto& replay : replays_)
            due = std::min(due, finished_ ? UINT64_MAX : replay->DueTicks());
        return due;
    }

    void Due() override
    {
        const uint64_t now = ClockTicks();
        if (sender_ != nullptr && sender_->DueTicks() <= now)
            sender_->SendDue();
        for (auto at = replays_.begin(); at != replays_.end();) {
            std::string answer;
            if ((*at)->DueTicks() > now ||
                !(*at)->Step(bus_, window_, [this](const RecordedMessage& message) { book_.Posted(message); }, &answer)) {
                ++at;
                continue;
            }
            Write(answer);
            at = replays_.erase(at);
        }
    }

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
            PrintMessage("velkctl: session: cannot read standard input (%s)\n", why.c_str());
            inputFailed_ = true;
        }
        ending_ = true;
    }

    bool TakesLines() const override { return !ending_; }

    void OutputFailed(const std::string& why) override
    {
        outFailed_ = true;
        finished_ = true;
        PrintMessage("velkctl: session: cannot write to standard output (%s): its reader has gone\n", why.c_str());
    }

    bool WriteFailed() const { return outFailed_; }
    uint64_t Dropped() const { return out_ != nullptr ? out_->Dropped() : 0; }
    bool InputFailed() const { return inputFailed_; }

private:
    uint64_t Now() const { return ClockMicrosSince(start_); }

    // The message's signals as monitor --jsonl writes them, decoded once for
    // the predicates and the answer; empty for a code the file lacks and for
    // a payload gone before it was fetched.
    std::string Signals(const RecordedMessage& message, bool expired) const
    {
        if (resolver_ == nullptr || expired)
            return std::string();
        const std::vector<DecodedSignal>& decoded = resolver_->Decoded(message);
        return decoded.empty() ? std::string() : FormatSignalsJson(decoded);
    }

    // A message's JSON with what its check found wrong.
    std::string WithFaults(std::string message) const
    {
        if (faults_.Any())
            message.insert(message.size() - 1, ",\"faults\":" + FormatFaultsJson(faults_));
        return message;
    }

    // Waits whose time is up are answered; at the end, once none waits, the session closes.
    void Settle()
    {
        if (finished_)
            return;
        std::vector<std::string> lines;
        book_.Expire(Now(), &lines);
        Write(lines);
        if (ending_ && !book_.Waiting() && replays_.empty()) {
            if (quitting_)
                Write(FormatOkAnswer(quitId_));
            finished_ = true;
        }
    }

    void HandleLine(uint64_t number, const std::string& text)
    {
        // The simulation's requests first; what is none of them is the session's own.
        SimulationRequest simulate;
        std::string error;
        switch (ParseSimulationRequest(text, number, true, &simulate, &error)) {
        case kSimulationRead:
            Write(sender_ != nullptr ? sender_->Answer(simulate, number)
                                     : FormatSimulationError(simulate, FormatText("line %llu: ", static_cast<unsigned long long>(number)) +
                                                                           (simulationError_.empty() ? "a simulation needs a signal file (velkctl session --signals FILE)"
                                                                                                     : simulationError_)));
            return;
        case kSimulationRefused:
            Write(FormatSimulationError(simulate, error));
            return;
        case kSimulationNotOne:
            break;
        }
        SessionRequest request;
        if (!ParseSessionRequest(text, number, resolver_.get(), &request, &error)) {
            Write(FormatErrorAnswer(request, error));
            return;
        }
        std::string answer;
        if (!Do(request, number, &answer, &error))
            answer = FormatErrorAnswer(request, FormatText("line %llu: ", static_cast<unsigned long long>(number)) +
                                                    error);
        if (!answer.empty())
            Write(answer);
    }

    // The request done; *answer empty for one answered later.
    bool Do(const SessionRequest& request, uint64_t line, std::string* answer, std::string* error)
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
        case kSessionRecent:
            *answer = FormatRecentAnswer(request.id, book_.Recent(request.max));
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
        case kSessionReplay:
            return Replay(request, line, error);
        case kSessionQuit:
            // Answered once the pending requests are, replays played to their end.
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
        if (result < 0)
            return Refused("the post", result, error);
        book_.Posted(message);
        return true;
    }

    // Answered when played (SessionReplay::Step, at Due).
    bool Replay(const SessionRequest& request, uint64_t line, std::string* error)
    {
        if (replays_.size() >= kMaxReplays) {
            *error = FormatText("%d replays are under way already; wait for their answers first",
                                static_cast<int>(kMaxReplays));
            return false;
        }
        std::unique_ptr<SessionReplay> replay(new SessionReplay(request.id, line, request.speed));
        if (!replay->Open(request.file, error))
            return false;
        replays_.push_back(std::move(replay));
        return true;
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
    std::unique_ptr<Simulation> simulation_;
    std::unique_ptr<SimulationSender> sender_;
    std::vector<std::unique_ptr<SessionReplay>> replays_;   // in request order
    std::string simulationError_;   // why the file's messages cannot be simulated
    MessageChecks checks_;
    MessageFaults faults_;      // of the message being taken
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
    LinesAndBusOptions options = { "session", kMaxRequestBytes, kLinesOutputBound, kLinesFinishGraceMs,
                                   { kAllTypeBits, 0, 0, kTickMicros, NULL } };
    uint64_t unwritten = 0;
    int end = RunLinesAndBus(bus, window, options, &handler, &unwritten);
    if (end == kLinesAndBusCannotStart)
        return kExitCrashed;
    if (end < 0) {
        PrintMessage("velkctl: session refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    if (end == kReceiveSessionEnded)
        PrintMessage("velkctl: the session ended\n");
    bool lost = handler.Dropped() != 0 || unwritten != 0;
    if (lost && !handler.WriteFailed())
        PrintMessage("velkctl: session: standard output was not read fast enough: %" PRIu64
                        " messages dropped, %" PRIu64 " lines left unwritten at the end\n",
                     handler.Dropped(), unwritten);
    return handler.WriteFailed() || handler.InputFailed() || lost ? kExitIo : kExitOk;
}
