// velkctl plot: a recording's chosen codes drawn as an SVG chart, for
// reports and bug tickets. Needs no bus.
#pragma once
#include <string>
#include <vector>

#include "chart/PlotChart.h"
#include "signals/SignalTraces.h"

// Reads the recording through (a bad line: "FILE:LINE: what", exit 2, and
// no chart written), then writes the chart to outPath ("-": standard
// output). With request.signals, traces[i] says what signal trace i draws.
// Returns the exit status.
int PlotRecording(const std::string& path, const PlotRequest& request, const SignalDatabase& signals,
                  const std::vector<SignalTraceRef>& traces, const std::string& outPath);

