#include "velkscope/ScopeOptions.h"

#include "protocol/MessageCode.h"
#include "common/FormatText.h"
#include "common/OptionWords.h"
#include "formats/CodeArgument.h"
#include "formats/Duration.h"
#include "formats/NumberArgument.h"
#include "common/Catalogue.h"
#include "velkscope/RecordingBudget.h"
#include "velkscope/ScopeModel.h"

namespace {

bool Fail(std::string* error, const std::string& text)
{
    *error = text;
    return false;
}

} // namespace

bool ParseScopeArguments(const std::vector<std::string>& args, ScopeOptions* options, std::string* error)
{
    options->mask = kAllTypeBits;
    for (size_t i = 0; i < args.size(); ++i) {
        OptionWord word = SplitOptionWord(args[i]);
        const std::string& name = word.name;
        if (name == "--help" || name == "-h" || name == "/?") {
            options->help = true;
            continue;
        }
        if (name.empty())
            return Fail(error, N_("an empty argument: a recording needs a name"));
        if (name[0] != '-') {
            options->recordings.push_back(name);   // a recording to open
            continue;
        }
        bool known = name == "--code" || name == "--window" || name == "--mask" || name == "--array" || name == "--bus" ||
                     name == "--signals" || name == "--signal" || name == "--workspace";
        if (!known)
            return Fail(error, FormatText(N_("unknown argument '%s'"), args[i].c_str()));
        if (!TakeOptionValue(args, &i, &word, error))
            return false;
        const std::string& value = word.value;
        if (name == "--code") {
            uint32_t code = 0;
            if (!ParseCodeArgument(value, "code", &code, error))
                return false;
            options->codes.push_back(code);
        } else if (name == "--window") {
            uint64_t micros = 0;
            std::string why;
            if (!ParseDuration(value, &micros, &why))
                return Fail(error, "--window '" + value + "': " + why);
            if (micros < static_cast<uint64_t>(kMinWindowMicros) || micros > static_cast<uint64_t>(kMaxWindowMicros))
                return Fail(error, "--window '" + value + "': " + N_("from 1s to 1h"));
            options->windowMicros = static_cast<int64_t>(micros);
        } else if (name == "--mask") {
            int64_t mask = 0;
            if (!ParseNumberArgument(value.c_str(), 0, UINT32_MAX, &mask))
                return Fail(error, "--mask '" + value + "': " +
                                       N_("expected a number from 0 to 0xFFFFFFFF (decimal or 0x-hex)"));
            options->mask = static_cast<uint32_t>(mask);
        } else if (name == "--array") {
            if (value != "byte" && value != "word")
                return Fail(error, "--array '" + value + "': " + N_("expected byte or word"));
            options->arrayValue = value == "word" ? kArrayFirstWord : kArrayFirstByte;
        } else if (name == "--signals" || name == "--signal" || name == "--workspace") {
            if (value.empty())
                return Fail(error, FormatText(name == "--signal" ? N_("%s needs a name") : N_("%s needs a file"), name.c_str()));
            if (name == "--signals")
                options->signalsFile = value;
            else if (name == "--workspace")
                options->workspace = value;
            else
                options->signalNames.push_back(value);
        } else {
            if (value.empty())
                return Fail(error, FormatText(N_("%s needs a name"), "--bus"));
            options->busName = value;
        }
    }
    if (options->codes.size() > kMaxScopeTraces)
        return Fail(error, FormatText(N_("at most %d codes are drawn at once"), static_cast<int>(kMaxScopeTraces)));
    // As many recordings as a workspace may name, and no more.
    if (!options->recordings.empty() && !RoomForRecording(options->recordings.size() - 1, error))
        return false;
    return true;
}
