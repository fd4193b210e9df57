#include "velkpanel/PanelOptions.h"

#include "common/Catalogue.h"
#include "common/FormatText.h"
#include "common/OptionWords.h"

bool ParsePanelArguments(const std::vector<std::string>& args, PanelOptions* options, std::string* error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        OptionWord word = SplitOptionWord(args[i]);
        const std::string& name = word.name;
        if (name == "--help" || name == "-h" || name == "/?") {
            options->help = true;
            continue;
        }
        std::string* slot = name == "--signals" ? &options->signalsFile
                          : name == "--panel" ? &options->panelFile
                          : name == "--bus" ? &options->busName : nullptr;
        if (slot == nullptr) {
            *error = FormatText(N_("unknown argument '%s'"), args[i].c_str());
            return false;
        }
        if (!TakeOptionValue(args, &i, &word, error))
            return false;
        const std::string& value = word.value;
        if (value.empty()) {
            *error = FormatText(name == "--bus" ? N_("%s needs a name") : N_("%s needs a file"), name.c_str());
            return false;
        }
        *slot = value;
    }
    return true;
}
