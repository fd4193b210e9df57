// velkctl post CODE VALUE [--every D] [--count N] [--signals FILE]
//      or post SIGNAL VALUE with a signal file
#include <inttypes.h>
#include <stdio.h>
#include <memory>
#include <string>

#include "client/SignalsOption.h"
#include "formats/CodeArgument.h"
#include "signals/SignalSends.h"
#include "signals/SignalText.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/CommandOutcome.h"
#include "velkctl/PeriodicArguments.h"
#include "windows/SystemCodePage.h"
#include "velkctl/PeriodicSend.h"
#include "protocol/LogLines.h"
#include "protocol/MessageCode.h"

namespace {

int PostValue(const BusBinding& bus, HWND window, uint32_t code, int64_t value, const PeriodicOptions& repeat,
              const std::string& signals)
{
    // The library would take the value for a payload's address.
    if (IsPayloadShapedValue(code)) {
        fprintf(stderr, "velkctl: code %" PRIx32 " is a string or array code: use send-str or send-arr\n", code);
        return kExitUsage;
    }
    std::string warning = MissingCodeFieldsWarning(code);
    if (!warning.empty())
        fprintf(stderr, "velkctl: %s\n", warning.c_str());
    // As monitor shows the message: the value in decimal.
    PrintLine(FormatIncomingBody(code, static_cast<intptr_t>(static_cast<uint32_t>(value)), NULL, NULL));
    if (!signals.empty())
        PrintLine("    " + signals);
    return SendOnceOrPeriodically(bus, "post", repeat,
                                  [&] { return bus.vPostData(window, code, static_cast<LPARAM>(value), 4); });
}

class PostCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("CODE", codeText_,
                            "message code, always hex as monitor prints it (20001001 = 0x20001001): direction bits "
                            "28-31, type bits 8-15 and 23, channel 0-255 in bits 0-7; or, with a signal file, a "
                            "value signal's name (motor.speed)")->required();
        command->add_option("VALUE", valueText_,
                            "data word, -2147483648 to 4294967295; for a signal its physical value (148.25) or an "
                            "enum's name (RUNNING)")->required();
        command->footer("Example:\n"
                        "  velkctl post 20001001 42\n"
                        "    posts 42 as Write Value (20000000), A/D (1000), channel 1\n"
                        "  velkctl post motor.speed 148.25 --signals rig.toml\n"
                        "    posts the raw value nearest 148.25 rpm, refused beyond the signal's min or max");
        AddPeriodicOptions(command, &periodicArgs_);
        AddSignalsOption(command, &signalsFile_);
    }

    int Prepare(const CLI::App& command) override
    {
        int loaded = LoadSignalsOption(signalsFile_, &signals_);
        if (loaded != kExitOk)
            return loaded;
        std::string error;
        // A valid code stays a code, whatever the signal file names.
        if (ParseCodeArgument(codeText_, "code", &code_, &error))
            return NumberOption(valueText_, "value", INT32_MIN, UINT32_MAX, &value_) &&
                   MakePeriodicOptions(command, periodicArgs_, &periodic_) ? kExitOk : kExitUsage;
        if (signals_.Messages().empty()) {
            fprintf(stderr, "velkctl: %s\n", error.c_str());
            return kExitUsage;
        }
        int32_t word = 0;
        if (!EncodeNamedValue(signals_, Utf8FromSystem(codeText_), Utf8FromSystem(valueText_), &code_, &word, &error)) {
            fprintf(stderr, "velkctl: post: %s\n", SystemFromUtf8(error).c_str());
            return kExitUsage;
        }
        value_ = word;
        std::vector<DecodedSignal> decoded;
        DecodeMessage(*signals_.FindCode(code_), word, std::string(), WindowsSignalCodePages(), &decoded);
        shown_ = SystemFromUtf8(FormatSignalsLine(decoded));
        return MakePeriodicOptions(command, periodicArgs_, &periodic_) ? kExitOk : kExitUsage;
    }

    int Run(const BusSession* session) override
    {
        return PostValue(session->bus, session->window, code_, value_, periodic_, shown_);
    }

private:
    std::string codeText_, valueText_, signalsFile_;
    PeriodicArguments periodicArgs_;
    SignalDatabase signals_;
    uint32_t code_ = 0;
    int64_t value_ = 0;
    std::string shown_;   // a named value's signal as it was sent
    PeriodicOptions periodic_ = { 0, 1 };
};

} // namespace

std::unique_ptr<Command> MakePostCommand()
{
    return std::unique_ptr<Command>(new PostCommand);
}
