// velkctl send-arr CH BYTES [--every D] [--count N] [--signals FILE]
//      or send-arr MESSAGE FIELD=VALUE... [--base HEX] with a signal file
#include <inttypes.h>
#include <stdio.h>
#include <memory>
#include <string>
#include <vector>

#include "client/SignalsOption.h"
#include "common/Escapes.h"
#include "velkctl/ByteListArgument.h"
#include "formats/NumberArgument.h"
#include "formats/RecordLine.h"
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
#include "client/ProgramMessages.h"
#include "formats/CodeArgument.h"

namespace {

// An array message of any code and length the bus takes.
int SendArrayPayload(const BusBinding& bus, HWND window, uint32_t code, const std::string& bytes,
                     const PeriodicOptions& repeat, const std::string& signals)
{
    const int count = static_cast<int>(bytes.size());
    PrintLine(FormatSentArray(code, reinterpret_cast<const unsigned char*>(bytes.data()), count));
    if (!signals.empty())
        PrintLine("    " + signals);
    return SendOnceOrPeriodically(bus, "send-arr", repeat,
                                  [&] { return bus.vPostData(window, code, reinterpret_cast<LPARAM>(bytes.data()), count); });
}

int SendArray(const BusBinding& bus, HWND window, uint32_t channel, const unsigned char* bytes, int count,
              const PeriodicOptions& repeat)
{
    return SendArrayPayload(bus, window, kArrayCode | channel,
                            std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count)), repeat,
                            std::string());
}

class SendArrCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("CH", channelText_, N_("channel, 0-255; or, with a signal file, an array message's name"))
            ->required();
        command->add_option("BYTES", bytesText_,
                            N_("1 to 20 bytes, each 1 or 2 hex digits, separated by blanks; for a message FIELD=VALUE"))
            ->required();
        command->add_option("FIELDS", fields_, N_("for a message: more FIELD=VALUE"));
        command->add_option("--base", baseText_,
                            N_("for a message: the bytes the fields leave, as hex pairs (default: zeros)"));
        command->footer(N_("Example:\n"
                           "  velkctl send-arr 5 \"01 7f ff\"\n"
                           "    posts code 30000405 with the 3 bytes 01 7F FF\n"
                           "  velkctl send-arr pump.status pressure=2.41 valve=open --signals signals-example.toml\n"
                           "    posts pump.status's code with those two fields set and the rest zero"));
        AddPeriodicOptions(command, &periodicArgs_);
        AddSignalsOption(command, &signalsFile_);
    }

    int Prepare(const CLI::App& command) override
    {
        SignalDatabase signals;
        int loaded = LoadSignalsOption(signalsFile_, &signals);
        if (loaded != kExitOk)
            return loaded;
        std::string error;
        int64_t channel = 0;
        if (signals.Messages().empty() && LooksLikeSignalName(channelText_)) {
            PrintMessage("velkctl: send-arr: %s\n", NoSignalFile(channelText_).c_str());
            return kExitUsage;
        }
        // A channel stays a channel, whatever the signal file names.
        if (signals.Messages().empty() || ParseNumberOption(channelText_, "channel", 0, 255, &channel, &error)) {
            if (!fields_.empty()) {
                PrintMessage("velkctl: send-arr: unexpected argument %s; velkctl help send-arr shows its usage\n",
                             QuoteInput(fields_.front()).c_str());
                return kExitUsage;
            }
            if (Given(&command, "--base")) {
                PrintMessage("velkctl: send-arr: --base goes with a message's name and its fields\n");
                return kExitUsage;
            }
            return PrepareBytes(command);
        }
        std::string base;
        if (!ParseHexBytes(WithoutBlanks(baseText_), &base, &error)) {
            PrintMessage("velkctl: send-arr: bad --base: %s\n", error.c_str());
            return kExitUsage;
        }
        std::vector<std::string> assignments = { Utf8FromSystem(bytesText_) };
        for (const std::string& field : fields_)
            assignments.push_back(Utf8FromSystem(field));
        if (!EncodeNamedArray(signals, Utf8FromSystem(channelText_), assignments, base, GbkFromUtf8, &code_, &payload_,
                              &error)) {
            PrintMessage("velkctl: send-arr: %s\n", SystemFromUtf8(error).c_str());
            return kExitUsage;
        }
        named_ = true;
        std::vector<DecodedSignal> decoded;
        DecodeMessage(*signals.FindCode(code_), 0, payload_, WindowsSignalCodePages(), &decoded);
        shown_ = SystemFromUtf8(FormatSignalsLine(decoded));
        return MakePeriodicOptions(command, periodicArgs_, &periodic_) ? kExitOk : kExitUsage;
    }

    int Run(const BusSession* session) override
    {
        if (named_)
            return SendArrayPayload(session->bus, session->window, code_, payload_, periodic_, shown_);
        return SendArray(session->bus, session->window, static_cast<uint32_t>(channel_), bytes_, count_, periodic_);
    }

private:
    int PrepareBytes(const CLI::App& command)
    {
        if (!NumberOption(channelText_, "channel", 0, 255, &channel_))
            return kExitUsage;
        std::string error;
        count_ = ParseByteListArgument(bytesText_, bytes_, &error);
        if (count_ < 0) {
            PrintMessage("velkctl: %s\n", error.c_str());
            return kExitUsage;
        }
        return MakePeriodicOptions(command, periodicArgs_, &periodic_) ? kExitOk : kExitUsage;
    }

    static std::string WithoutBlanks(const std::string& text)
    {
        std::string kept;
        for (char c : text) {
            if (c != ' ' && c != '\t')
                kept += c;
        }
        return kept;
    }

    std::string channelText_, bytesText_, baseText_, signalsFile_;
    std::vector<std::string> fields_;
    PeriodicArguments periodicArgs_;
    int64_t channel_ = 0;
    unsigned char bytes_[kMaxArrayBytes] = {};
    int count_ = 0;
    bool named_ = false;
    uint32_t code_ = 0;
    std::string payload_;   // a named message's
    std::string shown_;     // its signals as sent
    PeriodicOptions periodic_ = { 0, 1 };
};

} // namespace

std::unique_ptr<Command> MakeSendArrCommand()
{
    return std::unique_ptr<Command>(new SendArrCommand);
}
