// velkpanel's command line. Pure logic; the arguments in UTF-8.
//
//   velkpanel [--signals FILE] [--panel FILE] [--bus NAME]
#pragma once
#include <string>
#include <vector>

struct PanelOptions {
    std::string signalsFile;    // empty: the panel file's, else %VELK_SIGNALS%, else none
    std::string panelFile;      // empty: the automatic panel of the signal file
    std::string busName;        // empty: %VELK_BUS_NAME%, else the session's bus
    bool help = false;
};

// The arguments after the program's name, as --name VALUE or --name=VALUE.
// False with what is wrong, naming the argument, in *error.
bool ParsePanelArguments(const std::vector<std::string>& args, PanelOptions* options, std::string* error);
