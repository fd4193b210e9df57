// Where a chart's parts go, in pixels, the same for the live window (GDI)
// and the saved SVG: the plot area inside the margins for the labels, the
// value-to-y mapping and each trace's polyline. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

#include "chart/AxisScale.h"
#include "chart/Columns.h"

struct PlotArea {
    int left, top, right, bottom;   // right and bottom exclusive
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// Margins: value labels on the left, time labels below, the legend above.
enum {
    kMarginLeft = 64,
    kMarginRight = 16,
    kMarginTop = 28,
    kMarginBottom = 40,
    kMaxTraces = 8,        // of velkctl plot: one colour each
    kTraceColours = 16,    // TraceColour's, before they repeat
};

// The plot area of a chart of this size; at least one pixel each way, so a
// window shrunk to nothing still draws (nothing useful) without faults.
PlotArea PlotAreaOf(int width, int height);

// The plot area of one of panes stacked top to bottom in a chart of this
// size, each with the margins of a chart of its own; one pane is the whole
// chart's PlotAreaOf.
PlotArea PaneAreaOf(int width, int height, size_t panes, size_t pane);

// The y of a value, clamped to the plot area: values outside a fixed scale
// run along its edge.
int ValueY(double value, const Axis& axis, const PlotArea& area);
// The x of a value on a horizontal axis over the plot area.
int AxisX(double value, const Axis& axis, const PlotArea& area);

struct PlotPoint {
    int x, y;
};

// The lines of one trace whose columns are the plot area's pixel columns
// (column p at x = left + p): each column with samples adds its first, min,
// max and last value, repeats dropped, so the line reaches every extreme.
// Short runs of empty columns are stepped over, the line joining the samples
// on either side; a run much longer than the trace's usual spacing (see
// IsDropout) is a dropout, where the line breaks, so a silent stretch shows
// as a gap. A line of one point is a lone sample between dropouts. At most
// four points per column, whatever the samples.
std::vector<std::vector<PlotPoint>> TraceLines(const std::vector<Column>& columns, const Axis& axis, const PlotArea& area);

// The same for a trace whose value holds until its next sample (an enum, a
// state): from each column the line runs level at its last value to the next
// column with samples and steps there. Dropouts break it as they do lines.
std::vector<std::vector<PlotPoint>> StepLines(const std::vector<Column>& columns, const Axis& axis, const PlotArea& area);

// Whether a step of gap columns between two columns with samples is a
// dropout, for a trace whose median step is typical: over four times as
// long, and at least eight columns more, so the jitter of a dense trace
// never breaks it.
bool IsDropout(size_t gap, size_t typical);
// The median step between neighbouring columns with samples; 0 with fewer
// than two such columns.
size_t TypicalStep(const std::vector<Column>& columns);

// The smallest and largest value of the columns; false when all are empty.
bool ColumnRange(const std::vector<Column>& columns, double* min, double* max);
// Whether every value the columns keep (first, last, min, max) is a whole
// number, true when all are empty: an axis over them steps by whole numbers.
bool WholeColumns(const std::vector<Column>& columns);

// Trace colours as 0xRRGGBB, distinct on white and from each other; the
// first kMaxTraces are plot's, then they repeat after kTraceColours.
uint32_t TraceColour(size_t trace);

// Colours of the chart itself.
enum : uint32_t {
    kChartBackground = 0xFFFFFF,
    kChartGrid = 0xE4E4E4,
    kChartAxis = 0x606060,
    kChartText = 0x202020,
    kChartCursor = 0x909090,
    kChartShade = 0xFFEBB0,    // velkctl plot --shade
    kChartMark = 0x000000,     // velkctl plot --mark: no trace is black
};
