// velkctl stop-all and end-session: the console's two broadcasts, which
// take no arguments.
#include <inttypes.h>
#include <stdio.h>
#include <memory>
#include <vector>

#include "velkctl/Command.h"
#include "velkctl/CommandOutcome.h"
#include "protocol/HandleList.h"
#include "protocol/MessageCode.h"

namespace {

// A reply to a peer that hangs must not hang velkctl.
const UINT kEndSessionTimeoutMs = 5000;

int StopAll(const BusBinding& bus, HWND window)
{
    int exitCode = CheckedResult("stop-all", bus.vPostData(window, kStopAllCode, 0, 0));
    if (exitCode == kExitOk)
        NoteIfBusEndsWithVelkctl(bus, "this message is lost");
    return exitCode;
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

class BroadcastCommand : public Command {
public:
    BroadcastCommand(int (*send)(const BusBinding&, HWND), const char* example) : send_(send), example_(example) {}

    void AddOptions(CLI::App* command) override { command->footer(example_); }
    int Prepare(const CLI::App&) override { return kExitOk; }
    int Run(const BusSession* session) override { return send_(session->bus, session->window); }

private:
    int (*const send_)(const BusBinding&, HWND);
    const char* const example_;
};

} // namespace

std::unique_ptr<Command> MakeStopAllCommand()
{
    return std::unique_ptr<Command>(new BroadcastCommand(StopAll,
        "Example:\n"
        "  velkctl stop-all"));
}

std::unique_ptr<Command> MakeEndSessionCommand()
{
    return std::unique_ptr<Command>(new BroadcastCommand(EndSession,
        "Example:\n"
        "  velkctl end-session\n"
        "    10062 ended                one line per window, as it answered"));
}
