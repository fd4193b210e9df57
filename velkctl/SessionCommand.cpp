// velkctl session [--signals FILE]
#include <memory>
#include <string>

#include "client/SignalsOption.h"
#include "velkctl/Command.h"
#include "velkctl/Session.h"
#include "common/Catalogue.h"

namespace {

class SessionCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("--signals", signals_, N_("a signal file, so requests can name signals (default: $VELK_SIGNALS)"))
            ->type_name("FILE");
        command->footer(N_("Example:\n"
                           "  echo '{\"id\":1,\"op\":\"counters\"}' | velkctl session\n"
                           "    {\"id\":1,\"ok\":true,\"counters\":{...}}; the requests are in docs/session.md"));
    }

    // The file is read before the bus is attached: a mistake in it ends nothing on the bus.
    int Prepare(const CLI::App&) override { return LoadSignalsFile(SignalsFileToLoad(signals_), &database_); }

    int Run(const BusSession* session) override { return RunSession(session->bus, session->window, database_); }

private:
    std::string signals_;
    SignalDatabase database_;
};

} // namespace

std::unique_ptr<Command> MakeSessionCommand()
{
    return std::unique_ptr<Command>(new SessionCommand);
}
