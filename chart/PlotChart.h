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

struct PlotRequest {
    std::vector<uint32_t> codes;      // drawn in this order, each in its colour
    bool fromGiven = false, toGiven = false;
    uint64_t fromMicros = 0, toMicros = 0;   // since the recording started
    std::string title;                // UTF-8
    int width = 960, height = 540;    // the chart, in pixels
};

class PlotCollector {
public:
    explicit PlotCollector(const PlotRequest& request);

    // A message of the recording, in time order.
    void Add(const RecordedMessage& message);

    uint64_t Drawn() const;        // messages that became points
    // The codes asked for that drew nothing.
    std::vector<uint32_t> Undrawn() const;
    SvgChart Chart() const;

private:
    void Begin(uint64_t from);

    PlotRequest request_;
    size_t plotWidth_;
    std::vector<ColumnSpan> spans_;   // per code; all share one span
    std::vector<uint64_t> counts_;
    bool begun_ = false;
    uint64_t from_ = 0, last_ = 0;
};
