#include "velkctl/Commands.h"

#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

#include <functional>

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "protocol/HandleList.h"
#include "protocol/LogLines.h"
#include "protocol/MessageCode.h"
#include "formats/CodeArgument.h"
#include "velkctl/PeriodicSend.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"

namespace {

// A reply to a peer that hangs must not hang velkctl.
const UINT kEndSessionTimeoutMs = 5000;

void PrintLine(const std::string& line)
{
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

// What is sent, its length in bytes, control characters escaped: one line
// whatever the bytes hold, and nothing in it acts on the terminal.
void PrintSentString(uint32_t code, const std::string& bytes)
{
    PrintLine(EscapeForDisplay(FormatSentString(code, bytes)));
}

int Checked(const char* what, int result)
{
    if (result >= 0)
        return kExitOk;
    PrintMessage("velkctl: %s refused: %s (%d)\n", what, VelkResultText(result), result);
    return kExitRefused;
}

int Posted(const BusBinding& bus, const char* what, int result)
{
    int exitCode = Checked(what, result);
    if (exitCode == kExitOk)
        NoteIfBusEndsWithVelkctl(bus, N_("this message is lost"));
    return exitCode;
}

// Once, or again and again with --every or --count.
int Send(const BusBinding& bus, const char* what, const PeriodicOptions& repeat, const std::function<int()>& post)
{
    if (repeat.count == 1 && repeat.everyMicros == 0)
        return Posted(bus, what, post());
    int exitCode = SendPeriodically(what, repeat, post);
    if (exitCode == kExitOk)
        NoteIfBusEndsWithVelkctl(bus, N_("these messages are lost"));
    return exitCode;
}

} // namespace

bool StandardOutputWritten()
{
    if (fflush(stdout) == 0 && !ferror(stdout))
        return true;
    PrintMessage("velkctl: cannot write to standard output\n");
    return false;
}

void NoteIfBusEndsWithVelkctl(const BusBinding& bus, const char* whatIsLost)
{
    // Empty (0) from a library that cannot tell: then nothing is said.
    if (atoi(bus.vGetInfo(VELK_INFO_ATTACHED_PROCESSES)) == 1)
        PrintMessage("velkctl: no other client is attached: the bus ends when velkctl exits, and %s\n", whatIsLost);
}

int SetVariable(const BusBinding& bus, int32_t index, int32_t value)
{
    int exitCode = Checked("set-var", bus.vSetPublicVar(index, value));
    if (exitCode == kExitOk)
        NoteIfBusEndsWithVelkctl(bus, N_("this value is lost"));
    return exitCode;
}

int PostValue(const BusBinding& bus, HWND window, uint32_t code, int64_t value, const PeriodicOptions& repeat,
              const std::string& signals)
{
    // The library would take the value for a payload's address.
    if (IsPayloadShapedValue(code)) {
        PrintMessage("velkctl: code %" PRIx32 " is a string or array code: use send-str or send-arr\n", code);
        return kExitUsage;
    }
    std::string warning = MissingCodeFieldsWarning(code);
    if (!warning.empty())
        PrintMessage("velkctl: %s\n", warning.c_str());
    // As monitor shows the message: the value in decimal.
    PrintLine(FormatIncomingBody(code, static_cast<intptr_t>(static_cast<uint32_t>(value)), NULL, NULL));
    if (!signals.empty())
        PrintLine("    " + signals);
    return Send(bus, "post", repeat, [&] { return bus.vPostData(window, code, static_cast<LPARAM>(value), 4); });
}

int SendStringPayload(const BusBinding& bus, HWND window, uint32_t code, const std::string& bytes,
                      const PeriodicOptions& repeat, const std::string& signals)
{
    PrintSentString(code, bytes);
    if (!signals.empty())
        PrintLine("    " + signals);
    return Send(bus, "send-str", repeat, [&] {
        return bus.vPostData(window, code, reinterpret_cast<LPARAM>(bytes.c_str()), static_cast<int>(bytes.size()));
    });
}

int SendArray(const BusBinding& bus, HWND window, uint32_t channel, const unsigned char* bytes, int count,
              const PeriodicOptions& repeat)
{
    return SendArrayPayload(bus, window, kArrayCode | channel,
                            std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count)), repeat,
                            std::string());
}

int SendArrayPayload(const BusBinding& bus, HWND window, uint32_t code, const std::string& bytes,
                     const PeriodicOptions& repeat, const std::string& signals)
{
    const int count = static_cast<int>(bytes.size());
    PrintLine(FormatSentArray(code, reinterpret_cast<const unsigned char*>(bytes.data()), count));
    if (!signals.empty())
        PrintLine("    " + signals);
    return Send(bus, "send-arr", repeat,
                [&] { return bus.vPostData(window, code, reinterpret_cast<LPARAM>(bytes.data()), count); });
}

int StopAll(const BusBinding& bus, HWND window)
{
    return Posted(bus, "stop-all", bus.vPostData(window, kStopAllCode, 0, 0));
}

int Monitor(const BusBinding& bus, HWND window, const MonitorOptions& options)
{
    int end = RunMonitor(bus, window, options);
    if (end < 0)
        return Checked("monitor", end);
    if (end == kMonitorTimedOut && options.count != 0) {
        PrintMessage("velkctl: monitor timed out before %s\n", CountOf(options.count, "message").c_str());
        return kExitTimedOut;
    }
    if (end == kMonitorFileFailed)
        return kExitIo;
    if (end == kMonitorSessionEnded)
        PrintMessage("velkctl: the session ended\n");
    return kExitOk;
}

// The console's broadcast, from outside: every other listed window, in list
// order, one at a time; a window that hangs is given up after a few seconds.
int EndSession(const BusBinding& bus, HWND window)
{
    const unsigned handleBits = sizeof(HWND) * 8;
    std::vector<uint64_t> targets = EndSessionTargets(
        bus.vGetInfo(kInfoHandles), static_cast<uint64_t>(reinterpret_cast<uintptr_t>(window)), handleBits);
    for (uint64_t target : targets) {
        DWORD_PTR answer = 0;
        HWND peer = reinterpret_cast<HWND>(static_cast<uintptr_t>(target));
        LRESULT sent = SendMessageTimeoutA(peer, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG,
                                           kEndSessionTimeoutMs, &answer);
        printf("%" PRIx64 " %s\n", target, sent != 0 ? "ended" : "did not answer");
    }
    fflush(stdout);
    return kExitOk;
}
