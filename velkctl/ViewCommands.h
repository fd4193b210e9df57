// velkctl's views of the bus on the command line: plot (a recording drawn
// as SVG) and top (one row per code, updated in place).
#pragma once
#include <string>
#include <vector>

#include <windows.h>

#include <CLI/CLI.hpp>

#include "client/BusBinding.h"
#include "velkctl/FilterOptions.h"
#include "chart/PlotChart.h"
#include "velkctl/Top.h"

struct ViewArguments {
    std::string file, out, from, to, title;   // plot
    std::vector<std::string> codes;
    std::string interval, count, mask;        // top
    FilterArguments filter;
};

// Checked before anything is opened or attached.
struct ViewRequest {
    PlotRequest plot;
    TopOptions top;
};

void AddViewCommands(CLI::App& app, ViewArguments* args);

// Checks what the command line gave; kExitOk when it may go on, else the
// exit status after a message on stderr.
int PrepareViews(CLI::App& app, const ViewArguments& args, ViewRequest* request);

// Runs plot, which needs no bus; false when the command is not one of these.
bool RunOfflineView(CLI::App& app, const ViewArguments& args, const ViewRequest& request, int* exitCode);

// Runs top on the bus; false when the command is not it.
bool RunBusView(CLI::App& app, const ViewRequest& request, const BusBinding& bus, HWND window, int* exitCode);
