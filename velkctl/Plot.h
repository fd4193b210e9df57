// velkctl plot: a recording's chosen codes drawn as an SVG chart, for
// reports and bug tickets. Needs no bus.
#pragma once
#include <string>

#include "chart/PlotChart.h"

// Reads the recording through (a bad line: "FILE:LINE: what", exit 2, and
// no chart written), then writes the chart to outPath ("-": standard
// output). Returns the exit status.
int PlotRecording(const std::string& path, const PlotRequest& request, const std::string& outPath);

