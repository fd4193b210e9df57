#include "velkctl/Simulate.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include <deque>
#include <string>
#include <vector>

#include "client/ExitStatus.h"
#include "client/ReceiveLoop.h"
#include "common/FormatText.h"
#include "formats/Schedule.h"
#include "velk/VelkResults.h"
#include "velkctl/Replay.h"
#include "velkctl/SessionRequest.h"
#include "windows/Clock.h"
#include "windows/InputLines.h"
#include "windows/StopSignal.h"

namespace {

const UINT kInputArrived = WM_APP + 19;
const size_t kLinesPerTurn = 256;
// Sends made in one turn before input gets its look: a burst after a stall
// is this long at most, and sends due within the turn's time are waited for
// in it.
const size_t kSendsPerTurn = 256;
const uint64_t kTurnMicros = 1000;
// How soon the end of input ends a simulation without --duration.
const uint64_t kTickMicros = 100000;
const size_t kOutputBuffer = 1 << 16;

// Registered with no types: it sends and hears nothing, but ends with the
// session (end-session) as every client does. Its loop is the session's:
// stdin lines as thread messages, sends at the sink's own deadlines.
class SimulateSink : public MessageSink {
public:
    SimulateSink(SimulationSender* sender, Simulation* simulation, bool endWithInput)
        : sender_(sender), simulation_(simulation), endWithInput_(endWithInput) {}

    void Attach(InputLines* input) { input_ = input; }

    void Receive(UINT, LPARAM) override {}

    uint64_t DueTicks() override
    {
        StartOnce();
        return finished_ ? UINT64_MAX : sender_->DueTicks();
    }
    void Due() override { sender_->SendDue(); }

    void Idle() override
    {
        TakeInput();
        Flush();
    }

    void ThreadMessage(const MSG& message) override
    {
        if (message.message == kInputArrived)
            TakeInput();
    }

    bool Tick() override
    {
        Flush();
        return !finished_;
    }

    bool OutputWasClosed() const { return outClosed_; }
    bool InputFailed() const { return inputFailed_; }

private:
    // Once the window is registered, before any request is read: the schedules start then.
    void StartOnce()
    {
        if (!simulation_->Started())
            simulation_->StartChosen(sender_->Now());
    }

    void TakeInput()
    {
        StartOnce();
        if (input_ == nullptr)
            return;
        std::deque<InputItem> items;
        input_->Take(kLinesPerTurn, &items);
        for (const InputItem& item : items)
            Handle(item);
        if (!items.empty())
            Flush();
    }

    void Handle(const InputItem& item)
    {
        SimulationRequest request;
        std::string error;
        switch (item.kind) {
        case InputItem::kLine:
            if (ParseSimulationRequest(item.text, item.number, false, &request, &error) == kSimulationRead)
                Write(sender_->Answer(request, item.number));
            else
                Write(FormatSimulationError(request, error));
            break;
        case InputItem::kTooLong:
            Write(FormatSimulationError(request, FormatText("line %llu: a request of %llu bytes is too long (at most %d)",
                                                            static_cast<unsigned long long>(item.number),
                                                            static_cast<unsigned long long>(item.length),
                                                            static_cast<int>(kMaxRequestBytes))));
            break;
        case InputItem::kFailed:
            fprintf(stderr, "velkctl: simulate: cannot read standard input (%s)\n", item.text.c_str());
            inputFailed_ = true;
            EndOfInput();
            break;
        case InputItem::kEnd:
            EndOfInput();
            break;
        }
    }

    void EndOfInput()
    {
        input_ = nullptr;
        finished_ = finished_ || endWithInput_;
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
        fprintf(stderr, "velkctl: simulate: cannot write to standard output (%s): its reader has gone\n",
                strerror(errno));
    }

    SimulationSender* sender_;
    Simulation* simulation_;
    bool endWithInput_;
    InputLines* input_ = nullptr;
    bool finished_ = false;
    bool outClosed_ = false;
    bool inputFailed_ = false;
};

} // namespace

SimulationSender::SimulationSender(const BusBinding& bus, HWND window, Simulation* simulation)
    : bus_(bus), window_(window), simulation_(simulation), start_(ClockTicks()), rate_(ClockTicksPerSecond())
{
}

uint64_t SimulationSender::Now() const
{
    return ClockMicrosSince(start_);
}

uint64_t SimulationSender::DueTicks()
{
    uint64_t deadline = 0;
    return simulation_->NextDue(&deadline) ? start_ + MicrosToTicks(deadline, rate_) : UINT64_MAX;
}

void SimulationSender::SendDue()
{
    const uint64_t turnEnd = Now() + kTurnMicros;
    for (size_t sent = 0; sent < kSendsPerTurn; ++sent) {
        uint64_t deadline = 0;
        uint64_t now = Now();
        if (!simulation_->NextDue(&deadline) || deadline > turnEnd)
            break;
        // One close behind: waited for here rather than through a look at the queue.
        while (now < deadline) {
            SwitchToThread();
            now = Now();
        }
        size_t message = 0;
        const RecordedMessage due = simulation_->TakeDue(now, &message);
        const int result = PostRecordedMessage(bus_, window_, due);
        if (result >= 0)
            continue;
        simulation_->Refused(message);
        if (!refused_)
            fprintf(stderr, "velkctl: simulation: the bus refused a post of %08x: %s (%d); the summary counts them\n",
                    static_cast<unsigned>(due.code), VelkResultText(result), result);
        refused_ = true;
    }
}

std::string SimulationSender::Answer(const SimulationRequest& request, uint64_t lineNumber)
{
    const std::string line = FormatText("line %llu: ", static_cast<unsigned long long>(lineNumber));
    std::vector<RecordedMessage> sendNow;
    std::string members, error;
    if (!simulation_->Handle(request, Now(), &members, &sendNow, &error))
        return FormatSimulationError(request, line + error);
    for (const RecordedMessage& message : sendNow) {
        const int result = PostRecordedMessage(bus_, window_, message);
        if (result < 0)
            return FormatSimulationError(request, line + FormatText("the bus refused the post: %s (%d)",
                                                                    VelkResultText(result), result));
    }
    return FormatSimulationOk(request, members);
}

int RunSimulate(const BusBinding& bus, HWND window, Simulation* simulation, const SimulateOptions& options)
{
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, NULL, _IOFBF, kOutputBuffer);
    CatchStopRequests();
    FineTimerResolution resolution;

    SimulationSender sender(bus, window, simulation);
    SimulateSink sink(&sender, simulation, options.durationMicros == 0);
    // As the session's: the reader may be blocked in a read at the end, so it lives on.
    InputLines* input = new InputLines(GetCurrentThreadId(), kInputArrived, kMaxRequestBytes);
    if (!input->Start()) {
        fprintf(stderr, "velkctl: simulate: cannot start reading standard input (error %lu)\n", GetLastError());
        StopHandled();
        return kExitCrashed;
    }
    sink.Attach(input);

    ReceiveOptions receive = { 0, 0, options.durationMicros, kTickMicros, NULL };
    const int end = ReceiveBusMessages(bus, window, receive, &sink);
    const bool stopped = StopRequested();
    StopHandled();
    if (end < 0) {
        fprintf(stderr, "velkctl: simulate refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    std::string summary = "velkctl: simulate: " + CountOf(simulation->Chosen().size(), "message") +
                          FormatText(" for %.3f s", static_cast<double>(sender.Now()) / 1e6);
    if (stopped)
        summary += ", stopped";
    else if (end == kReceiveSessionEnded)
        summary += ", the session ended";
    fprintf(stderr, "%s\n", summary.c_str());
    for (const std::string& line : simulation->Summary())
        fprintf(stderr, "  %s\n", line.c_str());
    if (sink.OutputWasClosed() || sink.InputFailed())
        return kExitIo;
    return sender.Refused() ? kExitRefused : kExitOk;
}
