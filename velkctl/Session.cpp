#include "velkctl/Session.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "client/ExitStatus.h"
#include "client/ReceiveLoop.h"
#include "client/SignalsOption.h"
#include "common/FormatText.h"
#include "velkctl/SessionAnswer.h"
#include "velkctl/SessionBook.h"
#include "velkctl/SessionRequest.h"
#include "protocol/MessageCode.h"
#include "signals/DatabaseResolver.h"
#include "signals/SignalSends.h"
#include "signals/SignalText.h"
#include "velk/VelkResults.h"
#include "velkctl/Replay.h"
#include "windows/Clock.h"
#include "windows/InputLines.h"
#include "windows/StopSignal.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"

namespace {

const UINT kInputArrived = WM_APP + 18;
// Requests handled in one turn before the bus messages queued meanwhile get theirs.
const size_t kLinesPerTurn = 256;
// How often pending waits are looked at: an expect's timeout comes this late at most.
const uint64_t kTickMicros = 10000;
const size_t kOutputBuffer = 1 << 16;

class SessionSink : public MessageSink {
public:
    SessionSink(const BusBinding& bus, HWND window, const SignalDatabase& signals)
        : bus_(bus), window_(window), database_(signals), pages_(WindowsSignalCodePages()),
          resolver_(signals.SignalCount() > 0 ? new DatabaseResolver(signals, pages_) : nullptr),
          book_(resolver_.get(), [this](const RecordedMessage& message, bool expired) {
              return FormatSessionMessage(message, expired, SystemCodePage(), Signals(message, expired));
          }),
          start_(ClockTicks()) {}

    void Attach(InputLines* input) { input_ = input; }

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
        bool expired = false;
        RecordedMessage message = TakeMessage(bus_, code, dataWord, Now(), &expired);
        std::vector<std::string> lines;
        book_.Take(message, expired, &lines);
        Write(lines);
    }

    void Idle() override
    {
        TakeInput();
        Settle();
        Flush();
    }

    void ThreadMessage(const MSG& message) override
    {
        if (message.message == kInputArrived)
            TakeInput();
    }

    bool Tick() override
    {
        Settle();
        Flush();
        return !finished_;
    }

    bool OutputWasClosed() const { return outClosed_; }
    bool InputFailed() const { return inputFailed_; }

private:
    uint64_t Now() const { return ClockMicrosSince(start_); }

    // The message's signals as monitor --jsonl writes them; empty for a
    // code the file lacks and for a payload gone before it was fetched.
    std::string Signals(const RecordedMessage& message, bool expired) const
    {
        const SignalMessage* described = resolver_ != nullptr ? database_.FindCode(message.code) : nullptr;
        if (described == nullptr || expired)
            return std::string();
        std::vector<DecodedSignal> decoded;
        DecodeMessage(*described, message.value, message.bytes, pages_, &decoded);
        return FormatSignalsJson(decoded);
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
            Flush();
        }
    }

    void TakeInput()
    {
        if (input_ == nullptr)
            return;
        std::deque<InputItem> items;
        input_->Take(kLinesPerTurn, &items);
        for (const InputItem& item : items) {
            if (ending_)
                break;   // nothing after quit is read
            Handle(item);
        }
    }

    void Handle(const InputItem& item)
    {
        switch (item.kind) {
        case InputItem::kLine:
            HandleLine(item.number, item.text);
            break;
        case InputItem::kTooLong:
            Write(FormatErrorAnswer(SessionRequest(),
                                    FormatText("line %llu: a request of %llu bytes is too long (at most %d)",
                                               static_cast<unsigned long long>(item.number),
                                               static_cast<unsigned long long>(item.length),
                                               static_cast<int>(kMaxRequestBytes))));
            break;
        case InputItem::kEnd:
            End();
            break;
        case InputItem::kFailed:
            PrintMessage("velkctl: session: cannot read standard input (%s)\n", item.text.c_str());
            inputFailed_ = true;
            End();
            break;
        }
    }

    void End()
    {
        ending_ = true;
        input_ = nullptr;
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
        case kSessionQuit:
            // Answered once the pending requests are.
            quitting_ = true;
            quitId_ = request.id;
            End();
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
            if (!EncodeNamedText(database_, request.signal, request.payload, GbkFromUtf8, &message.code,
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

    void Write(const std::string& line)
    {
        if (outClosed_)
            return;
        if (fwrite(line.data(), 1, line.size(), stdout) != line.size() || fputc('\n', stdout) == EOF)
            OutputClosed();
    }

    void Flush()
    {
        if (!outClosed_ && fflush(stdout) != 0)
            OutputClosed();
    }

    void OutputClosed()
    {
        outClosed_ = true;
        finished_ = true;
        PrintMessage("velkctl: session: cannot write to standard output (%s): its reader has gone\n",
                     strerror(errno));
        RequestStop();
    }

    const BusBinding& bus_;
    HWND window_;
    const SignalDatabase& database_;
    const SignalCodePages pages_;
    std::unique_ptr<DatabaseResolver> resolver_;
    SessionBook book_;
    const uint64_t start_;
    InputLines* input_ = nullptr;
    bool ending_ = false;       // no more requests: input ended or quit
    bool quitting_ = false;
    uint64_t quitId_ = 0;
    bool finished_ = false;     // everything answered: the loop ends at the next tick
    bool outClosed_ = false;
    bool inputFailed_ = false;
};

} // namespace

int RunSession(const BusBinding& bus, HWND window, const SignalDatabase& signals)
{
    // Lines as they are, LF only, UTF-8.
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, NULL, _IOFBF, kOutputBuffer);
    CatchStopRequests();

    SessionSink sink(bus, window, signals);
    // The reader may still be blocked in a read when the session ends: it
    // and what it uses live until the process ends.
    InputLines* input = new InputLines(GetCurrentThreadId(), kInputArrived, kMaxRequestBytes);
    if (!input->Start()) {
        PrintMessage("velkctl: session: cannot start reading standard input (error %lu)\n", GetLastError());
        StopHandled();
        return kExitCrashed;
    }
    sink.Attach(input);

    // Every type, its own posts too: a script expects what it posted itself.
    ReceiveOptions receive = { kAllTypeBits, 0, 0, kTickMicros, NULL };
    int end = ReceiveBusMessages(bus, window, receive, &sink);
    StopHandled();
    if (end < 0) {
        PrintMessage("velkctl: session refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    if (end == kReceiveSessionEnded)
        PrintMessage("velkctl: the session ended\n");
    return sink.OutputWasClosed() || sink.InputFailed() ? kExitIo : kExitOk;
}
