// velkctl set-var INDEX VALUE
#include <inttypes.h>
#include <stdio.h>
#include <memory>
#include <string>

#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/CommandOutcome.h"

namespace {

int SetVariable(const BusBinding& bus, int32_t index, int32_t value)
{
    int exitCode = CheckedResult("set-var", bus.vSetPublicVar(index, value));
    if (exitCode == kExitOk)
        NoteIfBusEndsWithVelkctl(bus, "this value is lost");
    return exitCode;
}

class SetVarCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("INDEX", indexText_, "the variable, 0-63 (velkctl vars lists them)")->required();
        command->add_option("VALUE", valueText_, "its new value, -2147483648 to 4294967295 (a 32-bit word)")
            ->required();
        command->footer("Example:\n"
                        "  velkctl set-var 3 100");
    }

    int Prepare(const CLI::App&) override
    {
        // set-var leaves 64 and above to the library, which may not be ours.
        return NumberOption(indexText_, "index", 0, INT32_MAX, &index_) &&
               NumberOption(valueText_, "value", INT32_MIN, UINT32_MAX, &value_) ? kExitOk : kExitUsage;
    }

    int Run(const BusSession* session) override
    {
        return SetVariable(session->bus, static_cast<int32_t>(index_),
                           static_cast<int32_t>(static_cast<uint32_t>(value_)));
    }

private:
    std::string indexText_, valueText_;
    int64_t index_ = 0, value_ = 0;
};

} // namespace

std::unique_ptr<Command> MakeSetVarCommand()
{
    return std::unique_ptr<Command>(new SetVarCommand);
}
