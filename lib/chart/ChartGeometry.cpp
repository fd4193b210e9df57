#include "chart/ChartGeometry.h"

#include <math.h>

#include <algorithm>

PlotArea PlotAreaOf(int width, int height)
{
    PlotArea area;
    area.left = kMarginLeft;
    area.top = kMarginTop;
    area.right = std::max(width - kMarginRight, area.left + 1);
    area.bottom = std::max(height - kMarginBottom, area.top + 1);
    return area;
}

PlotArea PaneAreaOf(int width, int height, size_t panes, size_t pane)
{
    panes = std::max<size_t>(panes, 1);
    const int top = static_cast<int>(static_cast<int64_t>(height) * static_cast<int64_t>(pane) / static_cast<int64_t>(panes));
    const int bottom = static_cast<int>(static_cast<int64_t>(height) * static_cast<int64_t>(pane + 1) / static_cast<int64_t>(panes));
    PlotArea area = PlotAreaOf(width, bottom - top);
    area.top += top;
    area.bottom += top;
    return area;
}

int ValueY(double value, const Axis& axis, const PlotArea& area)
{
    double fraction = (value - axis.low) / (axis.high - axis.low);
    if (!(fraction >= 0))
        fraction = 0;   // NaN too
    fraction = std::min(fraction, 1.0);
    // high at the top row, low at the bottom row
    return area.bottom - 1 - static_cast<int>(lround(fraction * (area.Height() - 1)));
}

int AxisX(double value, const Axis& axis, const PlotArea& area)
{
    double fraction = (value - axis.low) / (axis.high - axis.low);
    if (!(fraction >= 0))
        fraction = 0;
    fraction = std::min(fraction, 1.0);
    return area.left + static_cast<int>(lround(fraction * (area.Width() - 1)));
}

bool IsDropout(size_t gap, size_t typical)
{
    return gap > 4 * typical && gap >= typical + 8;
}

size_t TypicalStep(const std::vector<Column>& columns)
{
    std::vector<size_t> steps;
    size_t previous = columns.size();
    for (size_t p = 0; p < columns.size(); ++p) {
        if (columns[p].count == 0)
            continue;
        if (previous != columns.size())
            steps.push_back(p - previous);
        previous = p;
    }
    if (steps.empty())
        return 0;
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return steps[steps.size() / 2];
}

namespace {

// The walk of TraceLines and StepLines; steps: the level at the last value
// runs to each column before its own points.
std::vector<std::vector<PlotPoint>> ColumnLines(const std::vector<Column>& columns, const Axis& axis, const PlotArea& area,
                                                bool steps)
{
    const size_t typical = TypicalStep(columns);
    std::vector<std::vector<PlotPoint>> lines;
    size_t previous = columns.size();
    for (size_t p = 0; p < columns.size(); ++p) {
        const Column& column = columns[p];
        if (column.count == 0)
            continue;
        const int x = area.left + static_cast<int>(p);
        if (previous == columns.size() || IsDropout(p - previous, typical))
            lines.emplace_back();
        else if (steps)
            lines.back().push_back(PlotPoint{ x, ValueY(columns[previous].last, axis, area) });
        previous = p;
        std::vector<PlotPoint>& points = lines.back();
        for (double value : { column.first, column.min, column.max, column.last }) {
            PlotPoint point = { x, ValueY(value, axis, area) };
            if (points.empty() || points.back().x != point.x || points.back().y != point.y)
                points.push_back(point);
        }
    }
    return lines;
}

} // namespace

std::vector<std::vector<PlotPoint>> TraceLines(const std::vector<Column>& columns, const Axis& axis, const PlotArea& area)
{
    return ColumnLines(columns, axis, area, false);
}

std::vector<std::vector<PlotPoint>> StepLines(const std::vector<Column>& columns, const Axis& axis, const PlotArea& area)
{
    return ColumnLines(columns, axis, area, true);
}

bool ColumnRange(const std::vector<Column>& columns, double* min, double* max)
{
    bool any = false;
    for (const Column& column : columns) {
        if (column.count == 0)
            continue;
        *min = any ? std::min(*min, column.min) : column.min;
        *max = any ? std::max(*max, column.max) : column.max;
        any = true;
    }
    return any;
}

bool WholeColumns(const std::vector<Column>& columns)
{
    for (const Column& column : columns) {
        if (column.count == 0)
            continue;
        for (double value : { column.first, column.min, column.max, column.last }) {
            if (floor(value) != value)
                return false;
        }
    }
    return true;
}

uint32_t TraceColour(size_t trace)
{
    static const uint32_t kColours[kTraceColours] = {
        0x1F5FD0,   // blue
        0xD03030,   // red
        0x109040,   // green
        0xE08000,   // orange
        0x8040B0,   // purple
        0x0090A0,   // teal
        0x8C5A28,   // brown
        0xD0008C,   // magenta
        0x6A7A00,   // olive
        0x3030A0,   // navy
        0xB04060,   // rose
        0x407070,   // slate
        0xC0A000,   // mustard
        0x603090,   // violet
        0x20A8E0,   // sky
        0x804000,   // rust
    };
    return kColours[trace % kTraceColours];
}
