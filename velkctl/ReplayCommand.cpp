// velkctl replay FILE [--speed X] [--loop N]
#include <memory>
#include <string>

#include "common/Escapes.h"
#include "formats/Schedule.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Replay.h"
#include "client/ProgramMessages.h"

namespace {

class ReplayCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("FILE", file_, N_("the recording ('-': standard input)"))->required();
        command->add_option("--speed", speed_,
                            N_("recorded spacing divided by X, 0.001 to 1000000 (default 1; 0: as fast as the bus takes them)"));
        command->add_option("--loop", loops_, N_("play the file N times (default 1; 0: until Ctrl+C)"));
        command->footer(N_("Example:\n"
                           "  velkctl replay session.txt --speed 2\n"
                           "    posts the recorded messages again, twice as fast"));
    }

    int Prepare(const CLI::App& command) override
    {
        int64_t loops = 1;
        if (Given(&command, "--speed") && !ParseReplaySpeed(speed_, &options_.speed)) {
            PrintMessage(
                         "velkctl: bad speed %s: expected 0 (as fast as the bus takes them) or a number from %g to %.0f\n",
                         QuoteInput(speed_).c_str(), kMinReplaySpeed, kMaxReplaySpeed);
            return kExitUsage;
        }
        if (Given(&command, "--loop") && !NumberOption(loops_, "loop count", 0, INT64_MAX, &loops))
            return kExitUsage;
        options_.loops = static_cast<uint64_t>(loops);
        // The whole file is checked before anything is posted.
        return CheckRecording(file_, &recording_);
    }

    int Run(const BusSession* session) override
    {
        return ReplayMessages(session->bus, session->window, recording_, options_);
    }

private:
    std::string file_, speed_, loops_;
    ReplayOptions options_ = { 1.0, 1 };
    CheckedRecording recording_;
};

} // namespace

std::unique_ptr<Command> MakeReplayCommand()
{
    return std::unique_ptr<Command>(new ReplayCommand);
}
