#include "velkpanel/PanelOptions.h"

#include "common/Catalogue.h"
#include "common/FormatText.h"

bool ParsePanelArguments(const std::vector<std::string>& args, PanelOptions* options, std::string* error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool inlineValue = false;
        const size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
            inlineValue = true;
        }
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
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                *error = FormatText(N_("%s needs a value"), name.c_str());
                return false;
            }
            value = args[++i];
        }
        if (value.empty()) {
            *error = FormatText(name == "--bus" ? N_("%s needs a name") : N_("%s needs a file"), name.c_str());
            return false;
        }
        *slot = value;
    }
    return true;
}
