// velkctl post CODE VALUE [--every D] [--count N]
#include <memory>
#include <string>

#include "formats/CodeArgument.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/Commands.h"
#include "velkctl/PeriodicArguments.h"

namespace {

class PostCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("CODE", codeText_,
                            "message code, always hex as monitor prints it (20001001 = 0x20001001): direction bits "
                            "28-31, type bits 8-15 and 23, channel 0-255 in bits 0-7")->required();
        command->add_option("VALUE", valueText_, "data word, -2147483648 to 4294967295")->required();
        command->footer("Example:\n"
                        "  velkctl post 20001001 42\n"
                        "    posts 42 as Write Value (20000000), A/D (1000), channel 1");
        AddPeriodicOptions(command, &periodicArgs_);
    }

    int Prepare(const CLI::App& command) override
    {
        std::string error;
        if (!ParseCodeArgument(codeText_, "code", &code_, &error)) {
            fprintf(stderr, "velkctl: %s\n", error.c_str());
            return kExitUsage;
        }
        return NumberOption(valueText_, "value", INT32_MIN, UINT32_MAX, &value_) &&
               MakePeriodicOptions(command, periodicArgs_, &periodic_) ? kExitOk : kExitUsage;
    }

    int Run(const BusSession* session) override
    {
        return PostValue(session->bus, session->window, code_, value_, periodic_);
    }

private:
    std::string codeText_, valueText_;
    PeriodicArguments periodicArgs_;
    uint32_t code_ = 0;
    int64_t value_ = 0;
    PeriodicOptions periodic_ = { 0, 1 };
};

} // namespace

std::unique_ptr<Command> MakePostCommand()
{
    return std::unique_ptr<Command>(new PostCommand);
}
