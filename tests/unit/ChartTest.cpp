// The strip chart's pure logic: decimation keeps every extreme, axes hold
// any data, the SVG is what the plot command writes.
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "chart/AxisScale.h"
#include "chart/ChartGeometry.h"
#include "chart/Columns.h"
#include "chart/PlotChart.h"
#include "chart/SvgPlot.h"
#include "common/FormatText.h"

namespace {

// A noisy trace of n samples 10 us apart with one spike at index spikeAt.
// Adds a sample to a span from 0 that doubles until the sample fits, as
// plot's spans do.
bool AddGrowing(ColumnSpan& span, const Sample& sample)
{
    while (sample.micros >= span.Span()) {
        if (!span.Double())
            return false;
    }
    return span.Add(sample.micros, sample.value);
}

std::vector<Sample> NoisyTrace(size_t n, size_t spikeAt, int32_t spike)
{
    std::vector<Sample> samples(n);
    uint32_t noise = 12345;
    for (size_t i = 0; i < n; ++i) {
        noise = noise * 1103515245u + 12345u;
        samples[i].micros = static_cast<int64_t>(i) * 10;
        samples[i].value = static_cast<int32_t>((noise >> 16) % 21) - 10;
    }
    samples[spikeAt].value = spike;
    return samples;
}

bool HoldsValue(const std::vector<Column>& columns, int32_t value)
{
    for (const Column& column : columns) {
        if (column.count != 0 && (column.min == value || column.max == value))
            return true;
    }
    return false;
}

size_t Samples(const std::vector<Column>& columns)
{
    size_t total = 0;
    for (const Column& column : columns)
        total += column.count;
    return total;
}

TEST(Decimation, AOneSampleSpikeSurvivesEveryZoom)
{
    const size_t n = 20000;
    for (size_t spikeAt : { size_t(0), size_t(1), size_t(4999), n / 2 + 3, n - 1 }) {
        for (int32_t spike : { INT32_MAX, INT32_MIN, 11 }) {
            std::vector<Sample> samples = NoisyTrace(n, spikeAt, spike);
            const int64_t span = static_cast<int64_t>(n) * 10;
            for (size_t width : { size_t(1), size_t(7), size_t(640), size_t(4096), n, 3 * n }) {
                SCOPED_TRACE(testing::Message() << "spike " << spike << " at " << spikeAt << ", " << width << " columns");
                // One pass over a known span, and one that grows from 1 us.
                ColumnSpan fixed(0, span, width);
                ColumnSpan growing(0, 1, width);
                for (const Sample& sample : samples) {
                    ASSERT_TRUE(fixed.Add(sample.micros, sample.value));
                    ASSERT_TRUE(AddGrowing(growing, sample));
                }
                EXPECT_TRUE(HoldsValue(fixed.Columns(), spike));
                EXPECT_TRUE(HoldsValue(growing.Columns(), spike));
                EXPECT_EQ(n, Samples(growing.Columns()));

                // Live: a strip whose window holds the trace, read at a screen's width.
                ColumnStrip strip(span, 4096);
                for (const Sample& sample : samples)
                    strip.Add(sample.micros, sample.value);
                std::vector<Column> fine;
                strip.CopyEnding(span - 1, &fine);
                std::vector<Column> shown = Regroup(fine, width);
                EXPECT_TRUE(HoldsValue(shown, spike));

                // And the drawn line reaches the spike's row.
                PlotArea area = PlotAreaOf(static_cast<int>(std::min<size_t>(width, 5000)) + kMarginLeft + kMarginRight, 300);
                std::vector<Column> pixels = Regroup(fixed.Columns(), static_cast<size_t>(area.Width()));
                Axis axis = NiceAxis(std::min(-10, spike), std::max(10, spike), 8, 1);
                std::vector<std::vector<PlotPoint>> lines = TraceLines(pixels, axis, area);
                ASSERT_EQ(1u, lines.size());   // a steady trace has no dropout
                int spikeY = ValueY(spike, axis, area);
                EXPECT_TRUE(std::any_of(lines[0].begin(), lines[0].end(), [&](const PlotPoint& p) { return p.y == spikeY; }));
                EXPECT_LE(lines[0].size(), 4u * static_cast<size_t>(area.Width()));
            }
        }
    }
}

TEST(Decimation, ALineBreaksAtADropoutAndNotAtJitter)
{
    PlotArea area = PlotAreaOf(400 + kMarginLeft + kMarginRight, 200);
    Axis axis = NiceAxis(0, 100, 8, 1);
    auto linesOf = [&](const std::vector<size_t>& at) {
        std::vector<Column> columns(400);
        for (size_t p : at)
            columns[p].Add(static_cast<int32_t>(p % 100));
        return TraceLines(columns, axis, area);
    };

    // Every 4th column, a hole of 40 columns after column 100, then a lone
    // sample, another hole, and the rest: three lines, the middle one a dot.
    std::vector<size_t> at;
    for (size_t p = 0; p <= 100; p += 4)
        at.push_back(p);
    at.push_back(140);
    for (size_t p = 180; p < 400; p += 4)
        at.push_back(p);
    std::vector<std::vector<PlotPoint>> lines = linesOf(at);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(area.left + 100, lines[0].back().x);
    ASSERT_EQ(1u, lines[1].size());
    EXPECT_EQ(area.left + 140, lines[1][0].x);
    EXPECT_EQ(area.left + 180, lines[2].front().x);

    // A dense trace whose steps wander between 1 and 8 columns stays one line;
    // 9 empty columns in it are a dropout.
    at.clear();
    for (size_t p = 0; p < 400; p += (p % 7 == 0 ? 8 : 1))
        at.push_back(p);
    EXPECT_EQ(1u, linesOf(at).size());
    at.clear();
    for (size_t p = 0; p < 400; p += (p == 200 ? 10 : 1))
        at.push_back(p);
    EXPECT_EQ(2u, linesOf(at).size());

    // Two samples, however far apart, have no usual spacing to break from.
    EXPECT_EQ(1u, linesOf({ 0, 399 }).size());
    EXPECT_TRUE(linesOf({}).empty());
}

TEST(Decimation, TheLiveStripForgetsWhatLeavesItsWindowAndShowsGaps)
{
    ColumnStrip strip(1000, 10);   // ten columns of 100 us
    strip.Add(50, 7);              // column 0
    strip.Add(150, 8);             // column 1
    strip.Add(950, -3);            // column 9
    std::vector<Column> columns;
    strip.CopyEnding(999, &columns);
    EXPECT_EQ(7, columns[0].first);
    EXPECT_EQ(8, columns[1].first);
    EXPECT_EQ(0u, columns[5].count);
    EXPECT_EQ(-3, columns[9].last);

    // 250 us on: columns 0 to 2 have left; nothing new has come.
    strip.CopyEnding(1250, &columns);
    EXPECT_EQ(1u, Samples(columns));
    EXPECT_EQ(-3, columns[6].max);

    // A sample after a gap longer than the window empties every older column.
    strip.Add(5000, 1);
    strip.CopyEnding(5000, &columns);
    EXPECT_EQ(1u, Samples(columns));
    EXPECT_EQ(1, columns[9].min);
    // Older than the strip holds: not taken.
    strip.Add(3000, 99);
    strip.CopyEnding(5000, &columns);
    EXPECT_FALSE(HoldsValue(columns, 99));

    strip.Clear();
    strip.CopyEnding(5000, &columns);
    EXPECT_EQ(0u, Samples(columns));
}

// The first sample's value of each column, 0 for an empty one.
std::vector<double> Firsts(const std::vector<Column>& columns)
{
    std::vector<double> firsts;
    for (const Column& column : columns)
        firsts.push_back(column.count == 0 ? 0 : column.first);
    return firsts;
}

TEST(Decimation, ColumnsRegroupSpansAndTheStripAtTheirEdges)
{
    // Column i holds i + 1 (and 10 * (i + 1) after it): regrouped onto more
    // pixels, fewer and an uneven number.
    auto fine = [](size_t n) {
        std::vector<Column> columns(n);
        for (size_t i = 0; i < n; ++i) {
            columns[i].Add(static_cast<double>(i + 1));
            columns[i].Add(10.0 * static_cast<double>(i + 1));
        }
        return columns;
    };
    EXPECT_EQ((std::vector<double>{ 1, 1, 2, 2, 3 }), Firsts(Regroup(fine(3), 5)));
    std::vector<Column> two = Regroup(fine(5), 2);
    EXPECT_EQ((std::vector<double>{ 1, 3 }), Firsts(two));
    EXPECT_EQ(4u, two[0].count);
    EXPECT_EQ(20, two[0].last);
    EXPECT_EQ(6u, two[1].count);
    EXPECT_EQ(50, two[1].max);
    EXPECT_EQ(3, two[1].min);
    std::vector<Column> three = Regroup(fine(7), 3);   // [0,2) [2,4) [4,7)
    EXPECT_EQ((std::vector<double>{ 1, 3, 5 }), Firsts(three));
    EXPECT_EQ(6u, three[2].count);
    EXPECT_TRUE(Regroup(fine(0), 4).size() == 4 && Regroup(fine(4), 0).empty());

    // Counts stop at their largest rather than wrap.
    Column full;
    full.Add(1);
    full.count = UINT32_MAX - 1;
    full.Add(2);
    EXPECT_EQ(UINT32_MAX, full.count);
    full.Add(3);
    EXPECT_EQ(UINT32_MAX, full.count);
    Column one;
    one.Add(5);
    full.Merge(one);
    EXPECT_EQ(UINT32_MAX, full.count);
    EXPECT_EQ(5, full.last);

    // A span takes [from, from + span): both ends, and what lands in which column.
    ColumnSpan span(100, 10, 5);
    EXPECT_FALSE(span.Add(99, -1));
    EXPECT_TRUE(span.Add(100, 1));
    EXPECT_TRUE(span.Add(101, 2));
    EXPECT_TRUE(span.Add(102, 3));
    EXPECT_TRUE(span.Add(109, 4));
    EXPECT_FALSE(span.Add(110, -1));
    EXPECT_EQ((std::vector<double>{ 1, 3, 0, 0, 4 }), Firsts(span.Columns()));
    ASSERT_TRUE(span.Double());                         // 20 us: columns 0+1, 2+3, 4
    EXPECT_EQ(20, span.Span());
    EXPECT_EQ((std::vector<double>{ 1, 0, 4, 0, 0 }), Firsts(span.Columns()));
    EXPECT_EQ(3u, span.Columns()[0].count);
    EXPECT_TRUE(span.Add(119, 5));
    EXPECT_FALSE(span.Add(120, -1));
    EXPECT_EQ(5, span.Columns()[4].last);
    // The longest span: at most INT64_MAX / columns, and doubling stops before it would pass that.
    EXPECT_EQ(INT64_MAX / 4, ColumnSpan(0, INT64_MAX, 4).Span());
    ColumnSpan wide(0, INT64_MAX / 2 / 4, 4);
    EXPECT_TRUE(wide.Double());
    EXPECT_FALSE(wide.Double());

    // The strip: ten columns of 100 us. Index 19 newest: index 10 is the
    // oldest it still holds, 9 has left.
    ColumnStrip strip(1000, 10);
    strip.Add(1650, 16);
    strip.Add(1950, 19);
    strip.Add(1050, 10);
    strip.Add(950, 9);
    std::vector<Column> columns;
    strip.CopyEnding(1999, &columns);
    EXPECT_EQ((std::vector<double>{ 10, 0, 0, 0, 0, 0, 16, 0, 0, 19 }), Firsts(columns));
    EXPECT_EQ(1u, columns[9].count);                    // 9 shares 19's slot, and was not taken
    strip.CopyEnding(1850, &columns);                   // before the newest: nothing past index 18 shows
    EXPECT_EQ((std::vector<double>{ 0, 10, 0, 0, 0, 0, 0, 16, 0, 0 }), Firsts(columns));
    // Sixteen columns on: every column between is emptied, the one at 16 too.
    strip.Add(3550, 35);
    strip.CopyEnding(3599, &columns);
    EXPECT_EQ((std::vector<double>{ 0, 0, 0, 0, 0, 0, 0, 0, 0, 35 }), Firsts(columns));
}

TEST(Axes, StepsTicksAndLabelsAtTheirBounds)
{
    Axis axis = NiceAxis(0, 10, 6, 0);                  // 6 ticks fit at step 2
    EXPECT_EQ(2, axis.step);
    EXPECT_EQ((std::vector<double>{ 0, 2, 4, 6, 8, 10 }), axis.ticks);
    EXPECT_EQ(5, NiceAxis(0, 10, 5, 0).step);           // one fewer: 5
    EXPECT_EQ(5, NiceAxis(0, 10, 3, 0).step);
    EXPECT_EQ(10, NiceAxis(0, 10, 1, 0).step);          // never fewer than two ticks
    EXPECT_EQ(2u, NiceAxis(0, 10, 1, 0).ticks.size());
    EXPECT_EQ(1, NiceAxis(0, 9, 10, 0).step);
    EXPECT_EQ(2, NiceAxis(0, 3, 8, 2).step);            // integers step by at least integerStep
    Axis zero = NiceAxis(0, 0, 8, 0);                   // a constant 0: -1 to 1
    EXPECT_EQ(-1, zero.low);
    EXPECT_EQ(1, zero.high);
    Axis five = NiceAxis(5, 5, 8, 0);                   // 10 % of it either side, out to ticks of 0.2
    EXPECT_DOUBLE_EQ(4.4, five.low);
    EXPECT_DOUBLE_EQ(5.6, five.high);

    Axis fixed = FixedAxis(0.5, 9.5, 10);               // the ends as given, ticks inside
    EXPECT_EQ(0.5, fixed.low);
    EXPECT_EQ(1, fixed.ticks.front());
    EXPECT_EQ(9, fixed.ticks.back());
    EXPECT_EQ(2, FixedAxis(0, 10, 6).step);
    EXPECT_EQ(1000u, FixedAxis(0, 1000, 5000).ticks.size());   // a thousand at most

    // One unit from 100,000 up, the larger it reaches.
    EXPECT_EQ("20000", TickLabel(20000, FixedAxis(0, 99999, 6)));
    EXPECT_EQ("20k", TickLabel(20000, FixedAxis(0, 100000, 6)));
    EXPECT_EQ("1.0M", TickLabel(1e6, FixedAxis(0, 1e6, 6)));
    EXPECT_EQ("1.0G", TickLabel(1e9, FixedAxis(0, 1e9, 6)));
    EXPECT_EQ("0.000000002", TickLabel(2e-9, FixedAxis(0, 1e-8, 6)));
    EXPECT_EQ("0.000000000", TickLabel(2e-12, FixedAxis(0, 1e-11, 6)));   // nine decimals at most

    const char* unit = nullptr;
    EXPECT_EQ(-299, TimeAxis(299, 6, &unit).low);
    EXPECT_STREQ("s", unit);
    EXPECT_EQ(-5, TimeAxis(300, 6, &unit).low);
    EXPECT_STREQ("min", unit);
}

TEST(Axes, HoldTheDataWithNiceTicksWhateverTheValues)
{
    struct Case { double min, max; };
    const Case cases[] = {
        { 0, 0 }, { 5, 5 }, { -7, -7 }, { 1e9, 1e9 },           // constants and single points
        { INT32_MIN, INT32_MAX }, { INT32_MIN, INT32_MIN },       // the extremes of int32
        { INT32_MAX, INT32_MAX }, { -350, -20 }, { -1, 1 },       // negative ranges
        { 0, 1 }, { 3, 1000003 }, { 0.5, 0.75 },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << test.min << " to " << test.max);
        Axis axis = NiceAxis(test.min, test.max, 8, 1);
        EXPECT_LE(axis.low, test.min);
        EXPECT_GE(axis.high, test.max);
        EXPECT_LT(axis.low, axis.high);
        ASSERT_GE(axis.ticks.size(), 2u);
        EXPECT_LE(axis.ticks.size(), 9u);
        EXPECT_GE(axis.step, 1);
        // The data fill a good part of the range: not squashed into a line.
        if (test.max > test.min) {
            EXPECT_GE((test.max - test.min) / (axis.high - axis.low), 0.2);
        } else {
            EXPECT_GT(test.min, axis.low);   // a constant sits inside, not on an edge
            EXPECT_LT(test.max, axis.high);
        }
        std::vector<std::string> labels;
        for (double tick : axis.ticks) {
            EXPECT_GE(tick, axis.low);
            EXPECT_LE(tick, axis.high);
            labels.push_back(TickLabel(tick, axis));
        }
        EXPECT_EQ(labels.size(), std::set<std::string>(labels.begin(), labels.end()).size()) << labels.front();
    }
    // A reversed range, NaN: usable axes all the same.
    EXPECT_EQ(-4, NiceAxis(3, -4, 8, 1).low);
    Axis nan = NiceAxis(NAN, 1, 8, 1);
    EXPECT_LT(nan.low, nan.high);

    Axis big = NiceAxis(INT32_MIN, INT32_MAX, 8, 1);
    EXPECT_EQ("-2G", TickLabel(-2e9, big));
    EXPECT_EQ("0", TickLabel(0, big));
    Axis fine = NiceAxis(0, 1.5, 8, 0);
    EXPECT_EQ("0.2", TickLabel(0.2, fine));
    EXPECT_EQ("-10", TickLabel(-10, FixedAxis(-10, 0, 6)));

    const char* unit = nullptr;
    Axis hour = TimeAxis(3600, 10, &unit);
    EXPECT_STREQ("min", unit);
    EXPECT_EQ(-60, hour.low);
    EXPECT_EQ(0, hour.high);
    EXPECT_EQ(0, hour.ticks.back());
}

// Into the folder tests/unit/check_svg.py parses the SVG files of.
void WriteFile(const std::string& name, const std::string& text)
{
    std::string path = std::string(CORVANE_SVG_CHECK_DIR) + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file) << path;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

TEST(SvgPlots, OneBoundedPolylinePerTraceInWellFormedText)
{
    SvgChart chart;
    chart.title = "bench 7 <depth> & \"A/D\" \xE6\xB7\xB1\xE5\xBA\xA6 \xFF\x01 '";   // markup, UTF-8, bytes that are not
    chart.timeLabel = "time (s)";
    chart.width = 960;
    chart.height = 540;
    chart.fromSeconds = 0;
    chart.toSeconds = 1;
    const size_t width = static_cast<size_t>(SvgPlotWidth(chart.width, chart.height));

    std::vector<Sample> samples = NoisyTrace(1000000, 777, INT32_MAX);
    ColumnSpan span(0, 1, width * 8);
    for (const Sample& sample : samples)
        AddGrowing(span, sample);
    chart.traces.push_back({ "20001001", TraceColour(0), Regroup(span.Columns(), width) });
    chart.traces.push_back({ "20001002", TraceColour(1), std::vector<Column>(width) });   // never seen
    std::vector<Column> one(width);
    one[3].Add(INT32_MIN);
    chart.traces.push_back({ "20001003", TraceColour(2), one });

    std::string svg = WriteSvg(chart);
    EXPECT_EQ(std::string::npos, svg.find('\x01'));
    EXPECT_EQ(std::string::npos, svg.find("\xFF"));
    EXPECT_NE(std::string::npos, svg.find("&lt;depth&gt; &amp; &quot;A/D&quot; \xE6\xB7\xB1\xE5\xBA\xA6 \xEF\xBF\xBD"));
    EXPECT_NE(std::string::npos, svg.find("20001002 (no data)"));
    EXPECT_NE(std::string::npos, svg.find("<circle"));

    size_t polyline = svg.find("<polyline");
    ASSERT_NE(std::string::npos, polyline);
    EXPECT_EQ(std::string::npos, svg.find("<polyline", polyline + 1));
    size_t begin = svg.find("points=\"", polyline) + 8;
    std::string points = svg.substr(begin, svg.find('"', begin) - begin);
    size_t count = static_cast<size_t>(std::count(points.begin(), points.end(), ',' ));
    EXPECT_GE(count, width);          // every column has samples
    EXPECT_LE(count, 4 * width);      // a few thousand points for a million samples

    WriteFile("chart.svg", svg);
    SvgChart empty = chart;
    empty.traces.clear();
    empty.width = 1;                  // smaller than the margins
    empty.height = 1;
    WriteFile("empty.svg", WriteSvg(empty));
}


// The first polyline's points in an SVG.
std::vector<PlotPoint> FirstLine(const std::string& svg)
{
    std::vector<PlotPoint> points;
    size_t begin = svg.find("points=\"", svg.find("<polyline"));
    if (begin == std::string::npos)
        return points;
    const char* at = svg.c_str() + begin + 8;
    PlotPoint point;
    int used = 0;
    while (sscanf(at, "%d,%d%n", &point.x, &point.y, &used) == 2) {
        points.push_back(point);
        at += used;
    }
    return points;
}

TEST(SvgPlots, TheFirstAndLastMomentsLandOnThePlotAreasEdges)
{
    PlotRequest request;
    request.codes = { 0x10001001, 0x10001002 };
    request.fromGiven = request.toGiven = true;
    request.fromMicros = 1000000;
    request.toMicros = 2000000;
    PlotCollector plot(request);
    const uint32_t code = request.codes[0];
    plot.Add({ 999999, code, kValueMessage, 50, "" });     // before --from
    plot.Add({ 1000000, code, kValueMessage, 100, "" });   // the first moment: left edge, the top value
    plot.Add({ 1500000, code, kValueMessage, 0, "" });
    plot.Add({ 1999999, code, kValueMessage, -100, "" });  // the last: right edge, the bottom value
    plot.Add({ 2000001, code, kValueMessage, 50, "" });    // after --to
    plot.Add({ 1500000, 0x10001003, kValueMessage, 7, "" });   // not asked for
    EXPECT_EQ(3u, plot.Drawn());
    EXPECT_EQ(std::vector<uint32_t>{ 0x10001002 }, plot.Undrawn());

    SvgChart chart = plot.Chart();
    EXPECT_DOUBLE_EQ(1.0, chart.fromSeconds);
    EXPECT_DOUBLE_EQ(2.0, chart.toSeconds);
    ASSERT_EQ(2u, chart.traces.size());
    const PlotArea area = PlotAreaOf(request.width, request.height);
    EXPECT_EQ(static_cast<size_t>(area.Width()), chart.traces[0].columns.size());

    std::string svg = WriteSvg(chart);
    std::vector<PlotPoint> points = FirstLine(svg);
    ASSERT_GE(points.size(), 3u);
    EXPECT_EQ(area.left, points.front().x);
    EXPECT_EQ(area.right - 1, points.back().x);
    int top = area.bottom, bottom = area.top;
    for (const PlotPoint& point : points) {
        EXPECT_GE(point.x, area.left);
        EXPECT_LT(point.x, area.right);
        top = std::min(top, point.y);
        bottom = std::max(bottom, point.y);
    }
    // A nice axis over -100..100 ends at those values: the extremes touch its edges.
    EXPECT_EQ(area.top, top);
    EXPECT_EQ(area.bottom - 1, bottom);
    EXPECT_NE(std::string::npos, svg.find("10001002 (no data)"));
    // The time axis starts at --from: its first label under the left edge.
    char label[80];
    snprintf(label, sizeof label, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">1", area.left, area.bottom + 16);
    EXPECT_NE(std::string::npos, svg.find(label));
}

TEST(SvgPlots, AShadeAndMarksLandOnTheirTimesClippedToTheTimeAxis)
{
    PlotRequest request;
    request.codes = { 0x10001001 };
    request.fromGiven = request.toGiven = true;
    request.fromMicros = 1000000;
    request.toMicros = 2000000;
    request.shadeGiven = true;
    request.shadeFromMicros = 1500000;
    request.shadeToMicros = 2500000;                      // runs past --to: ends at the right edge
    request.marks = { 1000000, 1750000, 2000001 };        // the left edge, inside, just past --to
    PlotCollector plot(request);
    plot.Add({ 1200000, 0x10001001, kValueMessage, 5, "" });
    const std::string svg = WriteSvg(plot.Chart());
    const PlotArea area = PlotAreaOf(request.width, request.height);
    const int middle = area.left + static_cast<int>(lround(0.5 * (area.Width() - 1)));

    char shade[120];
    snprintf(shade, sizeof shade, "<rect x=\"%d\" y=\"%d\" width=\"%d\"", middle, area.top, area.right - 1 - middle);
    const size_t band = svg.find(shade);
    EXPECT_NE(std::string::npos, band) << shade;
    EXPECT_LT(band, svg.find("<circle"));                 // under the trace
    size_t lines = 0;
    for (size_t at = svg.find("stroke-dasharray"); at != std::string::npos; at = svg.find("stroke-dasharray", at + 1))
        ++lines;
    EXPECT_EQ(2u, lines);
    char mark[80];
    snprintf(mark, sizeof mark, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\"", area.left, area.top, area.left);
    EXPECT_NE(std::string::npos, svg.find(mark)) << mark;

    request.shadeFromMicros = 2000000;                    // all of it past the axis: no band
    PlotCollector late(request);
    late.Add({ 1200000, 0x10001001, kValueMessage, 5, "" });
    EXPECT_EQ(std::string::npos, WriteSvg(late.Chart()).find(FormatText("fill=\"#%06x\"", kChartShade)));
    EXPECT_NE(std::string::npos, svg.find(FormatText("fill=\"#%06x\"", kChartShade)));
}

} // namespace
