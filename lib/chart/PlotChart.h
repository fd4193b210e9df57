// velkctl plot: the chart of chosen codes from a recording, as SVG. The
// messages are handed over one at a time in file order and decimated to the
// chart's width as they come, so a file of any length costs the same
// memory. Pure logic.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "chart/Columns.h"
#include "chart/SvgPlot.h"
#include "formats/RecordLine.h"

// A trace of physical values, which the caller decodes (AddValue).
struct PlotSignalTrace {
    std::string name;                 // UTF-8, the legend's
    std::string unit;                 // empty: none
};

struct PlotRequest {
    std::vector<uint32_t> codes;      // drawn in this order, each in its colour
    std::vector<PlotSignalTrace> signals;   // drawn instead of codes when given
    bool fromGiven = false, toGiven = false;
    uint64_t fromMicros = 0, toMicros = 0;   // since the recording started
    bool shadeGiven = false;
    uint64_t shadeFromMicros = 0, shadeToMicros = 0;   // shaded, as the recording's times
    std::vector<uint64_t> marks;      // lines across the chart, as the recording's times
    std::string title;                // UTF-8
    int width = 960, height = 540;    // the chart, in pixels
};

// A code's legend without a signal: "30000404 (byte 0)".
std::string CodeTraceName(uint32_t code);

class PlotCollector {
public:
    explicit PlotCollector(const PlotRequest& request);

    // A message of the recording, in time order (codes only).
    void Add(const RecordedMessage& message);
    // Trace trace's value at micros, in time order (signals only).
    void AddValue(size_t trace, uint64_t micros, double value);

    uint64_t Drawn() const;        // messages that became points
    // The codes asked for that drew nothing.
    std::vector<uint32_t> Undrawn() const;
    // The signals asked for that drew nothing, by name.
    std::vector<std::string> UndrawnSignals() const;
    SvgChart Chart() const;

private:
    void Begin(uint64_t from);
    size_t TraceCount() const;

    PlotRequest request_;
    size_t plotWidth_;
    std::vector<ColumnSpan> spans_;   // per code; all share one span
    std::vector<uint64_t> counts_;
    bool begun_ = false;
    uint64_t from_ = 0, last_ = 0;
};
