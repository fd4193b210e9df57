#include "client/ReceiveLoop.h"

#include "windows/Clock.h"
#include "formats/Schedule.h"
#include "windows/StopSignal.h"

namespace {

const uint64_t kNoDeadline = UINT64_MAX;

// Milliseconds until deadline, rounded up, so the wait never ends early.
DWORD MillisUntil(uint64_t deadline, uint64_t now)
{
    if (deadline == kNoDeadline)
        return INFINITE;
    if (deadline <= now)
        return 0;
    uint64_t ticksPerMs = ClockTicksPerSecond() / 1000;
    uint64_t ms = (deadline - now + ticksPerMs - 1) / ticksPerMs;
    return ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms);
}

// One message to the sink, or past the filter; true when it passed.
bool Hand(const BusBinding& bus, const MessageFilter* filter, const MSG& message, MessageSink* sink)
{
    UINT code = static_cast<UINT>(message.wParam);
    if (filter == NULL || filter->Passes(code)) {
        sink->Receive(code, message.lParam);
        return true;
    }
    // Whatever a library keeps for a payload until it is fetched goes too.
    if (ClassifyCode(code) != kValueMessage) {
        int length = 0;
        FetchPayload(bus, message.lParam, &length);
    }
    sink->FilteredOut(code);
    return false;
}

} // namespace

uint64_t TakeQueuedMessages(const BusBinding& bus, HWND window, uint64_t limit, const MessageFilter* filter,
                            MessageSink* sink)
{
    uint64_t passed = 0;
    MSG message;
    while ((limit == 0 || passed < limit) &&
           PeekMessageA(&message, window, WM_BUS_MESSAGE, WM_BUS_MESSAGE, PM_REMOVE)) {
        if (Hand(bus, filter, message, sink))
            ++passed;
    }
    return passed;
}

int ReceiveBusMessages(const BusBinding& bus, HWND window, const ReceiveOptions& options, MessageSink* sink)
{
    int registered = bus.vRegister(window, options.mask, "velkctl");
    if (registered < 0)
        return registered;

    const uint64_t rate = ClockTicksPerSecond();
    const uint64_t start = ClockTicks();
    const uint64_t end = options.durationMicros != 0 ? start + MicrosToTicks(options.durationMicros, rate) : kNoDeadline;
    uint64_t ticks = 0;
    uint64_t nextTick = options.tickMicros != 0 ? start + MicrosToTicks(options.tickMicros, rate) : kNoDeadline;
    uint64_t nextLook = start + rate;
    uint64_t received = 0;
    int how = kReceiveStopped;
    const uint32_t lingerMicros = sink->LingerMicros();
    bool lingered = false;   // since the last Idle
    for (bool running = true; running;) {
        MSG message;
        uint64_t taken = 0;   // bus messages this turn
        while (running && PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                how = kReceiveSessionEnded;
                running = false;
            } else if (message.message == WM_BUS_MESSAGE && message.hwnd == window) {
                ++taken;
                if (Hand(bus, options.filter, message, sink) && ++received == options.count) {
                    how = kReceiveCountReached;
                    running = false;
                }
            } else if (message.hwnd == NULL) {
                sink->ThreadMessage(message);
            } else {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            // A queue that never empties must not hold off the clock.
            uint64_t now = ClockTicks();
            if (running && (now >= nextTick || now >= end || now >= sink->DueTicks() || StopRequested()))
                break;
        }
        if (!running)
            break;
        uint64_t now = ClockTicks();
        if (StopRequested())
            break;
        if (now >= end) {
            how = kReceiveTimeUp;
            break;
        }
        const uint64_t due = sink->DueTicks();
        if (now >= due) {
            sink->Due();
            continue;
        }
        if (now >= nextTick) {
            // Ticks missed while busy are skipped, not made up in a burst.
            do {
                ++ticks;
                nextTick = start + MicrosToTicks((ticks + 1) * options.tickMicros, rate);
            } while (nextTick <= now);
            if (!sink->Tick())
                break;
            continue;
        }
        if (now >= nextLook) {
            // Our library looks after this process's registration on every
            // call: one a second keeps it on a bus whose block another
            // process wrote over, while no message comes.
            BusStatus(bus);
            nextLook = now + rate;
        }
        // Too close to the sink's deadline to sleep: yield until it comes, on
        // the clock alone (a look at the queue costs a trip to the server
        // under Wine); messages wait that long at most.
        DWORD dueMs = due != kNoDeadline ? MillisToSleepBefore(due) : INFINITE;
        if (dueMs == 0) {
            while (ClockTicks() < due && !StopRequested())
                SwitchToThread();
            continue;
        }
        if (lingerMicros != 0 && taken > 1 && !lingered) {
            lingered = true;
            Sleep((lingerMicros + 999) / 1000);
            continue;
        }
        lingered = false;
        sink->Idle();
        HANDLE stop = StopEvent();
        uint64_t wake = nextTick < end ? nextTick : end;
        DWORD waitMs = MillisUntil(wake < nextLook ? wake : nextLook, now);
        const bool forDue = dueMs < waitMs;
        if (forDue)
            waitMs = dueMs;
        const uint64_t began = ClockTicks();
        if (MsgWaitForMultipleObjects(stop != NULL ? 1 : 0, &stop, FALSE, waitMs, QS_ALLINPUT) == WAIT_TIMEOUT && forDue)
            NoteSleepEnded(began, waitMs);
    }
    bus.vUnregister(window);
    // What was queued before the window left is the bus's delivery too.
    if (how != kReceiveCountReached)
        TakeQueuedMessages(bus, window, options.count == 0 ? 0 : options.count - received, options.filter, sink);
    sink->Idle();
    return how;
}

RecordedMessage TakeMessage(const BusBinding& bus, UINT code, LPARAM dataWord, uint64_t micros, bool* expired)
{
    RecordedMessage message;
    message.micros = micros;
    message.code = code;
    message.kind = ClassifyCode(code);
    message.value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uintptr_t>(dataWord)));
    *expired = false;
    if (message.kind != kValueMessage) {
        int length = 0;
        const char* bytes = FetchPayload(bus, dataWord, &length);
        *expired = bytes == NULL;
        if (bytes != NULL && length > 0)
            message.bytes.assign(bytes, static_cast<size_t>(length));
    }
    return message;
}

int PostRecordedMessage(const BusBinding& bus, HWND window, const RecordedMessage& message)
{
    if (message.kind == kValueMessage)
        return bus.vPostData(window, message.code, static_cast<LPARAM>(message.value), 4);
    // An empty payload still points at something.
    static const char kNone[1] = { 0 };
    const char* bytes = message.bytes.empty() ? kNone : message.bytes.data();
    return bus.vPostData(window, message.code, reinterpret_cast<LPARAM>(bytes), static_cast<int>(message.bytes.size()));
}
