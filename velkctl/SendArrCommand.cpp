// velkctl send-arr CH BYTES [--every D] [--count N]
#include <memory>
#include <string>

#include "formats/ByteListArgument.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Commands.h"
#include "velkctl/PeriodicArguments.h"

namespace {

class SendArrCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("CH", channelText_, "channel, 0-255")->required();
        command->add_option("BYTES", bytesText_, "1 to 20 bytes, each 1 or 2 hex digits, separated by blanks")
            ->required();
        command->footer("Example:\n"
                        "  velkctl send-arr 5 \"01 7f ff\"\n"
                        "    posts code 30000405 with the 3 bytes 01 7F FF");
        AddPeriodicOptions(command, &periodicArgs_);
    }

    int Prepare(const CLI::App& command) override
    {
        if (!NumberOption(channelText_, "channel", 0, 255, &channel_))
            return kExitUsage;
        std::string error;
        count_ = ParseByteListArgument(bytesText_, bytes_, &error);
        if (count_ < 0) {
            fprintf(stderr, "velkctl: %s\n", error.c_str());
            return kExitUsage;
        }
        return MakePeriodicOptions(command, periodicArgs_, &periodic_) ? kExitOk : kExitUsage;
    }

    int Run(const BusSession* session) override
    {
        return SendArray(session->bus, session->window, static_cast<uint32_t>(channel_), bytes_, count_, periodic_);
    }

private:
    std::string channelText_, bytesText_;
    PeriodicArguments periodicArgs_;
    int64_t channel_ = 0;
    unsigned char bytes_[kMaxArrayBytes] = {};
    int count_ = 0;
    PeriodicOptions periodic_ = { 0, 1 };
};

} // namespace

std::unique_ptr<Command> MakeSendArrCommand()
{
    return std::unique_ptr<Command>(new SendArrCommand);
}
