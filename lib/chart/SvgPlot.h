// A chart as an SVG document: title, grid, labelled axes, a legend and one
// polyline per trace (one per stretch between dropouts), laid out as the
// live chart is (ChartGeometry). Pure logic.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "chart/Columns.h"

struct SvgTrace {
    std::string name;               // UTF-8, as the legend shows it
    uint32_t colour;                // 0xRRGGBB
    std::vector<Column> columns;    // one per pixel column of the plot area
    bool steps = false;             // the value holds to the next sample (StepLines)
};

// A vertical line across every pane: a cursor or a trigger.
struct SvgMark {
    double seconds;
    std::string label;              // "A", "B", "T"
    uint32_t colour;
};

// A stretch of time shaded across the plot area, under the traces: a
// window something was awaited in.
struct SvgShade {
    double fromSeconds, toSeconds;
    uint32_t colour;
};

struct SvgChart {
    std::string title;              // UTF-8
    std::string timeLabel;          // under the time axis, UTF-8
    std::string valueLabel;         // above the value axis (the traces' one unit); empty: none
    int width, height;              // pixels
    double fromSeconds, toSeconds;  // the time axis
    std::vector<SvgTrace> traces;
    std::vector<SvgShade> shades;   // clipped to the time axis
    std::vector<SvgMark> marks;     // those off the time axis are left out
};

// The plot area's width for a chart of this size: how many columns each
// trace should bring.
int SvgPlotWidth(int width, int height);

// The whole document. Texts that are not valid UTF-8 or hold control
// characters are mended (U+FFFD, a blank), so the document is always
// well-formed XML. A trace without samples draws nothing and says
// "(no data)" in the legend; a lone point draws a dot.
std::string WriteSvg(const SvgChart& chart);

// Several panes stacked on one time axis under one title (velkscope's
// export), each laid out as the live chart lays out its panes
// (PaneAreaOf), below a band for the title.
struct SvgPane {
    std::string valueLabel;         // above the value axis; empty: none
    std::vector<SvgTrace> traces;
    bool fixed = false;             // the value axis over [low, high]; else from the traces
    double low = 0, high = 1;
};

struct SvgStack {
    std::string title;
    std::string timeLabel;          // under the last pane
    int width, height;
    double fromSeconds, toSeconds;
    std::vector<SvgPane> panes;
    std::vector<SvgMark> marks;
};

enum { kStackTitleBand = 24 };

// The plot area's width of each pane: how many columns each trace brings.
int SvgStackPlotWidth(int width, int height, size_t panes);
std::string WriteSvgStack(const SvgStack& stack);

// Text as XML character data or an attribute value: valid UTF-8, no control
// characters, & < > " ' escaped.
std::string XmlText(const std::string& text);
