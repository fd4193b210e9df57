// velkctl stop-all and end-session: the console's two broadcasts, which
// take no arguments.
#include <memory>

#include "velkctl/Command.h"
#include "velkctl/Commands.h"
#include "common/Catalogue.h"

namespace {

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
        N_("Example:\n"
           "  velkctl stop-all")));
}

std::unique_ptr<Command> MakeEndSessionCommand()
{
    return std::unique_ptr<Command>(new BroadcastCommand(EndSession,
        N_("Example:\n"
           "  velkctl end-session\n"
           "    10062 ended                one line per window, as it answered")));
}
