// velkctl send-str CH TEXT | --file FILE [--every D] [--count N] [--signals FILE]
//      or send-str MESSAGE TEXT | --file FILE with a signal file
#include <inttypes.h>
#include <stdio.h>
#include <memory>
#include <string>
#include <vector>

#include "client/InputFile.h"
#include "client/SignalsOption.h"
#include "common/Escapes.h"
#include "formats/NumberArgument.h"
#include "protocol/MessageCode.h"
#include "protocol/PayloadLimits.h"
#include "signals/SignalSends.h"
#include "signals/SignalText.h"
#include "velkctl/Command.h"
#include "velkctl/CommandLine.h"
#include "velkctl/CommandOutcome.h"
#include "velkctl/PeriodicArguments.h"
#include "windows/SystemCodePage.h"
#include "windows/SystemLeadByte.h"
#include "velkctl/PeriodicSend.h"
#include "protocol/LogLines.h"

namespace {

// A string message of any code: bytes as they are. The line shows its length
// in bytes and control characters escaped: one line whatever the bytes
// hold, and nothing in it acts on the terminal.
int SendStringPayload(const BusBinding& bus, HWND window, uint32_t code, const std::string& bytes,
                      const PeriodicOptions& repeat, const std::string& signals)
{
    PrintLine(EscapeForDisplay(FormatSentString(code, bytes)));
    if (!signals.empty())
        PrintLine("    " + signals);
    return SendOnceOrPeriodically(bus, "send-str", repeat, [&] {
        return bus.vPostData(window, code, reinterpret_cast<LPARAM>(bytes.c_str()), static_cast<int>(bytes.size()));
    });
}

class SendStrCommand : public Command {
public:
    void AddOptions(CLI::App* command) override
    {
        command->add_option("CH", channelText_, "channel, 0-255; or, with a signal file, a string message's name")
            ->required();
        CLI::Option* text = command->add_option(
            "TEXT", text_, "text; \\n \\r \\t \\a \\b stand for their characters (a command line holds at most 32,767)");
        CLI::Option* file = command->add_option(
            "--file", file_, "send this file's bytes as they are, at most 65536 ('-': standard input)");
        text->excludes(file);
        command->footer("Example:\n"
                        "  velkctl send-str 7 \"hello\\tworld\"\n"
                        "    posts code 30000207 with the 11 bytes hello, a tab, world\n"
                        "  velkctl send-str rig.text \"READY\" --signals rig.toml\n"
                        "    posts rig.text's code with the text in the message's encoding");
        AddPeriodicOptions(command, &periodicArgs_);
        AddSignalsOption(command, &signalsFile_);
    }

    int Prepare(const CLI::App& command) override
    {
        SignalDatabase signals;
        int loaded = LoadSignalsOption(signalsFile_, &signals);
        if (loaded != kExitOk)
            return loaded;
        const bool fromFile = Given(&command, "--file");
        if (!fromFile && command.count("TEXT") == 0) {
            fprintf(stderr, "velkctl: send-str needs TEXT or --file FILE\n");
            return kExitUsage;
        }
        if (fromFile) {
            int read = ReadInputFile(file_, kMaxPayloadBytes, "the most one message carries", &bytes_);
            if (read != kExitOk)
                return read;
        } else {
            bytes_ = UnescapeText(text_, IsSystemLeadByte);
        }
        std::string error;
        int64_t channel = 0;
        // A channel stays a channel, whatever the signal file names.
        if (signals.Messages().empty() || ParseNumberOption(channelText_, "channel", 0, 255, &channel, &error)) {
            if (!NumberOption(channelText_, "channel", 0, 255, &channel))
                return kExitUsage;
            code_ = kStringCode | static_cast<uint32_t>(channel);
        } else if (fromFile) {
            // A file's bytes go as they are, in whatever encoding they hold.
            const SignalMessage* message =
                FindMessageToSend(signals, Utf8FromSystem(channelText_), kStringPayload, &error);
            if (message == nullptr)
                return Refuse(error);
            code_ = message->code;
        } else if (!EncodeNamedText(signals, Utf8FromSystem(channelText_), Utf8FromSystem(bytes_), GbkFromUtf8,
                                    &code_, &bytes_, &error)) {
            return Refuse(error);
        }
        if (const SignalMessage* message = signals.FindCode(code_)) {
            std::vector<DecodedSignal> decoded;
            DecodeMessage(*message, 0, bytes_, WindowsSignalCodePages(), &decoded);
            shown_ = SystemFromUtf8(FormatSignalsLine(decoded));
        }
        return MakePeriodicOptions(command, periodicArgs_, &periodic_) ? kExitOk : kExitUsage;
    }

    int Run(const BusSession* session) override
    {
        return SendStringPayload(session->bus, session->window, code_, bytes_, periodic_, shown_);
    }

private:
    static int Refuse(const std::string& error)
    {
        fprintf(stderr, "velkctl: send-str: %s\n", SystemFromUtf8(error).c_str());
        return kExitUsage;
    }

    std::string channelText_, text_, file_, signalsFile_;
    PeriodicArguments periodicArgs_;
    uint32_t code_ = 0;
    std::string bytes_;   // as posted
    std::string shown_;   // its signals, when the file knows the code
    PeriodicOptions periodic_ = { 0, 1 };
};

} // namespace

std::unique_ptr<Command> MakeSendStrCommand()
{
    return std::unique_ptr<Command>(new SendStrCommand);
}
