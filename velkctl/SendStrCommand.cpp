// velkctl send-str CH TEXT | --file FILE [--every D] [--count N]
#include <memory>
#include <string>

#include "client/InputFile.h"
#include "protocol/PayloadLimits.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Commands.h"
#include "velkctl/PeriodicArguments.h"

namespace {

class SendStrCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("CH", channelText_, "channel, 0-255")->required();
        CLI::Option* text = command->add_option(
            "TEXT", text_, "text; \\n \\r \\t \\a \\b stand for their characters (a command line holds at most 32,767)");
        CLI::Option* file = command->add_option(
            "--file", file_, "send this file's bytes as they are, at most 65536 ('-': standard input)");
        text->excludes(file);
        command->footer("Example:\n"
                        "  velkctl send-str 7 \"hello\\tworld\"\n"
                        "    posts code 30000207 with the 11 bytes hello, a tab, world");
        AddPeriodicOptions(command, &periodicArgs_);
    }

    int Prepare(const CLI::App& command) override
    {
        if (!NumberOption(channelText_, "channel", 0, 255, &channel_))
            return kExitUsage;
        fromFile_ = Given(&command, "--file");
        if (fromFile_) {
            int read = ReadInputFile(file_, kMaxPayloadBytes, "the most one message carries", &bytes_);
            if (read != kExitOk)
                return read;
        } else if (command.count("TEXT") == 0) {
            fprintf(stderr, "velkctl: send-str needs TEXT or --file FILE\n");
            return kExitUsage;
        }
        return MakePeriodicOptions(command, periodicArgs_, &periodic_) ? kExitOk : kExitUsage;
    }

    int Run(const BusSession* session) override
    {
        const uint32_t channel = static_cast<uint32_t>(channel_);
        if (fromFile_)
            return SendRawString(session->bus, session->window, channel, bytes_, periodic_);
        return SendString(session->bus, session->window, channel, text_, periodic_);
    }

private:
    std::string channelText_, text_, file_;
    PeriodicArguments periodicArgs_;
    int64_t channel_ = 0;
    bool fromFile_ = false;
    std::string bytes_;   // --file: the file's bytes
    PeriodicOptions periodic_ = { 0, 1 };
};

} // namespace

std::unique_ptr<Command> MakeSendStrCommand()
{
    return std::unique_ptr<Command>(new SendStrCommand);
}
