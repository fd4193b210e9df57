#include "velkctl/FilterOptions.h"

#include <stdio.h>

#include "common/Escapes.h"
#include "formats/CodeArgument.h"
#include "formats/NumberArgument.h"
#include "velkctl/CommandLine.h"
#include "client/ProgramMessages.h"

void AddFilterOptions(CLI::App* command, FilterArguments* args)
{
    // One value each time: "--code 20001001 FILE" leaves FILE to the command.
    command->add_option("--code", args->codes,
                        N_("only messages with this CODE (hex); CODE/MASK compares the MASK bits only (repeatable)"))
        ->allow_extra_args(false);
    command->add_option("--channel", args->channels, N_("only messages on channel CH, 0-255 (repeatable)"))
        ->allow_extra_args(false);
    command->add_option("--type", args->types,
                        N_("only messages of this TYPE: DEP ADC WTC CNT TMR STR ARR CTL ABS (repeatable)"))
        ->allow_extra_args(false);
}

void AddMaskOption(CLI::App* command, std::string* mask)
{
    command->add_option("--mask", *mask,
                        N_("type bits to receive, as for monitor (default: the types the filters pass, else all nine)"));
}

bool MakeFilter(const FilterArguments& args, MessageFilter* filter)
{
    *filter = MessageFilter();
    for (const std::string& text : args.codes) {
        CodePattern pattern;
        std::string error;
        if (!ParseCodePattern(text, &pattern, &error)) {
            PrintMessage("velkctl: %s\n", error.c_str());
            return false;
        }
        filter->AddCode(pattern);
    }
    for (const std::string& text : args.channels) {
        int64_t channel = 0;
        if (!NumberOption(text, "channel", 0, 255, &channel))
            return false;
        filter->AddChannel(static_cast<uint8_t>(channel));
    }
    for (const std::string& text : args.types) {
        uint32_t bit = TypeBitOfName(text);
        if (bit == 0) {
            PrintMessage("velkctl: bad type %s: expected DEP, ADC, WTC, CNT, TMR, STR, ARR, CTL or ABS\n",
                         QuoteInput(text).c_str());
            return false;
        }
        filter->AddType(bit);
    }
    if (!filter->CanPass())
        PrintMessage("velkctl: warning: no message the bus delivers can pass these filters "
                        "(a code needs a type bit to be delivered; --code, --channel and --type must all match)\n");
    return true;
}

bool MakeFilterAndMask(const FilterArguments& args, bool maskGiven, const std::string& maskText,
                       MessageFilter* filter, uint32_t* mask)
{
    if (!MakeFilter(args, filter))
        return false;
    int64_t value = filter->SubscriptionMask();
    if (maskGiven && !NumberOption(maskText, "mask", 0, UINT32_MAX, &value))
        return false;
    *mask = static_cast<uint32_t>(value);
    return true;
}
