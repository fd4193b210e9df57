#include "velkctl/Simulate.h"

#include <stdio.h>

#include <string>
#include <vector>

#include "client/ExitStatus.h"
#include "client/LinesAndBus.h"
#include "client/ProgramMessages.h"
#include "common/FormatText.h"
#include "formats/Schedule.h"
#include "velk/VelkResults.h"
#include "client/ReceiveLoop.h"
#include "velkctl/SessionRequest.h"
#include "windows/Clock.h"
#include "windows/StopSignal.h"

namespace {

// Sends made in one turn before input gets its look: a burst after a stall
// is this long at most, and sends due within the turn's time are waited for
// in it.
const size_t kSendsPerTurn = 256;
const uint64_t kTurnMicros = 1000;
// How soon the end of input ends a simulation without --duration.
const uint64_t kTickMicros = 100000;

// Registered with no types: it sends and hears nothing, but ends with the
// session (end-session) as every client does. Requests come as lines, sends
// at the simulation's own deadlines.
class SimulateHandler : public LineHandler {
public:
    SimulateHandler(SimulationSender* sender, Simulation* simulation, bool endWithInput)
        : sender_(sender), simulation_(simulation), endWithInput_(endWithInput) {}

    void Begin(OutputLines* output) override { out_ = output; }
    void Receive(UINT, LPARAM) override {}

    uint64_t DueTicks() override
    {
        StartOnce();
        return finished_ ? UINT64_MAX : sender_->DueTicks();
    }
    void Due() override { sender_->SendDue(); }
    bool Tick() override { return !finished_; }

    void Line(uint64_t number, const std::string& text) override
    {
        StartOnce();
        SimulationRequest request;
        std::string error;
        if (ParseSimulationRequest(text, number, false, &request, &error) == kSimulationRead)
            out_->Write(sender_->Answer(request, number));
        else
            out_->Write(FormatSimulationError(request, error));
    }

    void TooLong(uint64_t number, uint64_t length) override
    {
        out_->Write(FormatSimulationError(SimulationRequest(),
                                          FormatText("line %llu: a request of %llu bytes is too long (at most %d)",
                                                     static_cast<unsigned long long>(number),
                                                     static_cast<unsigned long long>(length),
                                                     static_cast<int>(kMaxRequestBytes))));
    }

    void InputEnded(bool failed, const std::string& why) override
    {
        if (failed) {
            PrintMessage("velkctl: simulate: cannot read standard input (%s)\n", why.c_str());
            inputFailed_ = true;
        }
        finished_ = finished_ || endWithInput_;
    }

    void OutputFailed(const std::string& why) override
    {
        outputFailed_ = true;
        finished_ = true;
        PrintMessage("velkctl: simulate: cannot write to standard output (%s): its reader has gone\n", why.c_str());
    }

    bool OutputFailed() const { return outputFailed_; }
    bool InputFailed() const { return inputFailed_; }

private:
    // Once the window is registered, before any request is read: the schedules start then.
    void StartOnce()
    {
        if (!simulation_->Started())
            simulation_->StartChosen(sender_->Now());
    }

    SimulationSender* sender_;
    Simulation* simulation_;
    bool endWithInput_;
    OutputLines* out_ = nullptr;
    bool finished_ = false;
    bool outputFailed_ = false;
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
            PrintMessage("velkctl: simulation: the bus refused a post of %08x: %s (%d); the summary counts them\n",
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
    FineTimerResolution resolution;
    SimulationSender sender(bus, window, simulation);
    SimulateHandler handler(&sender, simulation, options.durationMicros == 0);
    LinesAndBusOptions loop = { "simulate", kMaxRequestBytes, kLinesOutputBound, kLinesFinishGraceMs,
                                { 0, 0, options.durationMicros, kTickMicros, NULL } };
    uint64_t unwritten = 0;
    const int end = RunLinesAndBus(bus, window, loop, &handler, &unwritten);
    const bool stopped = StopRequestedByUser();
    if (end == kLinesAndBusCannotStart)
        return kExitCrashed;
    if (end < 0) {
        PrintMessage("velkctl: simulate refused: %s (%d)\n", VelkResultText(end), end);
        return kExitRefused;
    }
    std::string summary = FormatText(N_("%s for %.3f s"), CountOf(simulation->Chosen().size(), "message").c_str(),
                                     static_cast<double>(sender.Now()) / 1e6);
    if (stopped)
        summary = FormatText(N_("%s, stopped"), summary.c_str());
    else if (end == kReceiveSessionEnded)
        summary = FormatText(N_("%s, the session ended"), summary.c_str());
    PrintMessage("velkctl: simulate: %s\n", summary.c_str());
    for (const std::string& line : simulation->Summary())
        PrintMessage("  %s\n", line.c_str());
    if (handler.OutputFailed() || handler.InputFailed() || unwritten != 0)
        return kExitIo;
    return sender.Refused() ? kExitRefused : kExitOk;
}
