#include "client/LinesAndBus.h"

#include <stdio.h>

#include <deque>

#include "windows/InputLines.h"
#include "windows/StopSignal.h"
#include "client/ProgramMessages.h"

namespace {

const UINT kInputArrived = WM_APP + 17;
// Lines handled in one turn before the bus messages queued meanwhile get theirs.
const size_t kLinesPerTurn = 256;

// The handler's sink, with the input taken whenever the loop has a moment.
class Driver : public MessageSink {
public:
    Driver(LineHandler* handler, InputLines* input, OutputLines* output)
        : handler_(handler), input_(input), output_(output) {}

    void Receive(UINT code, LPARAM dataWord) override { handler_->Receive(code, dataWord); }
    void FilteredOut(UINT code) override { handler_->FilteredOut(code); }

    void Idle() override
    {
        handler_->Idle();
        TakeInput();
        LookAtOutput();
    }

    bool Tick() override
    {
        LookAtOutput();
        return handler_->Tick() && !outputFailed_;
    }

    uint64_t DueTicks() override { return handler_->DueTicks(); }
    uint32_t LingerMicros() override { return handler_->LingerMicros(); }
    void Due() override { handler_->Due(); }

    void ThreadMessage(const MSG& message) override
    {
        if (message.message == kInputArrived)
            TakeInput();
        else
            handler_->ThreadMessage(message);
    }

private:
    void TakeInput()
    {
        // A full output holds the requests back on standard input.
        if (input_ == NULL || output_->Full())
            return;
        if (!handler_->TakesLines()) {
            input_ = NULL;
            return;
        }
        std::deque<InputItem> items;
        input_->Take(kLinesPerTurn, &items);
        for (const InputItem& item : items) {
            if (!handler_->TakesLines()) {
                input_ = NULL;   // nothing after it is read
                return;
            }
            switch (item.kind) {
            case InputItem::kLine:
                handler_->Line(item.number, item.text);
                break;
            case InputItem::kTooLong:
                handler_->TooLong(item.number, item.length);
                break;
            case InputItem::kEnd:
            case InputItem::kFailed:
                input_ = NULL;
                handler_->InputEnded(item.kind == InputItem::kFailed, item.text);
                return;
            }
        }
    }

public:
    // Once the output cannot be written, the handler hears of it and the loop ends.
    void LookAtOutput()
    {
        std::string why;
        if (!outputFailed_ && output_->Failed(&why)) {
            outputFailed_ = true;
            handler_->OutputFailed(why);
            RequestStop();
        }
    }

private:
    LineHandler* handler_;
    InputLines* input_;
    OutputLines* output_;
    bool outputFailed_ = false;
};

} // namespace

int RunLinesAndBus(const BusBinding& bus, HWND window, const LinesAndBusOptions& options, LineHandler* handler,
                   uint64_t* unwritten)
{
    *unwritten = 0;
    CatchStopRequests();
    // The reader may be blocked in a read and the writer in a write when the
    // loop ends: both, and what they use, live until the process ends.
    OutputLines* output = new OutputLines(options.outputBound);
    InputLines* input = new InputLines(GetCurrentThreadId(), kInputArrived, options.maxLine);
    if (!output->Start() || !input->Start()) {
        PrintMessage("velkctl: %s: cannot start reading standard input and writing standard output (error %lu)\n",
                     options.name, GetLastError());
        StopHandled();
        return kLinesAndBusCannotStart;
    }
    handler->Begin(output);
    Driver driver(handler, input, output);
    int end = ReceiveBusMessages(bus, window, options.receive, &driver);
    output->Finish(options.finishGraceMs, unwritten);
    if (end >= 0)
        driver.LookAtOutput();   // a write that failed at the end
    StopHandled();
    return end;
}
