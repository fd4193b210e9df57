#include "chart/SvgPlot.h"

#include <algorithm>

#include "chart/AxisScale.h"
#include "chart/ChartGeometry.h"
#include "common/FormatText.h"

namespace {

const int kMaxValueTicks = 8;
const int kMaxTimeTicks = 10;

std::string Colour(uint32_t rgb)
{
    return FormatText("#%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
}

// The length of the UTF-8 sequence at text[i], or 0 when it is not one.
size_t Utf8Length(const std::string& text, size_t i)
{
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    }
    unsigned char second = static_cast<unsigned char>(text[i + 1 < text.size() ? i + 1 : i]);
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

std::string Text(int x, int y, const char* anchor, const std::string& text, const char* extra = "")
{
    return FormatText("<text x=\"%d\" y=\"%d\" text-anchor=\"%s\"%s>", x, y, anchor, extra) + XmlText(text) + "</text>\n";
}

} // namespace

std::string XmlText(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";   // U+FFFD
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        char c = text[i++];
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c; break;
        }
    }
    return out;
}

int SvgPlotWidth(int width, int height)
{
    return PlotAreaOf(width, height).Width();
}

namespace {

// One scale over every trace's samples, stepping by whole numbers unless a
// fraction is to be read off it.
Axis AutoAxis(const std::vector<SvgTrace>& traces)
{
    bool any = false, whole = true;
    double low = 0, high = 0;
    for (const SvgTrace& trace : traces) {
        double min, max;
        if (ColumnRange(trace.columns, &min, &max)) {
            low = any ? std::min(low, min) : min;
            high = any ? std::max(high, max) : max;
            any = true;
        }
        whole = whole && WholeColumns(trace.columns);
    }
    return NiceAxis(low, high, kMaxValueTicks, whole ? 1 : 0);
}

// A plot area: its grid and frame, then one group of texts (the tick
// labels and extra, the caller's), the legend along the top margin at
// legendY, and the traces.
std::string PaneSvg(const PlotArea& area, const std::vector<SvgTrace>& traces, const Axis& values, const Axis& times,
                    const std::string& extra, int legendY)
{
    std::string svg = FormatText("<g stroke=\"%s\" stroke-width=\"1\">\n", Colour(kChartGrid).c_str());
    for (double tick : values.ticks) {
        int y = ValueY(tick, values, area);
        svg += FormatText("<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>\n", area.left, y, area.right - 1, y);
    }
    for (double tick : times.ticks) {
        int x = AxisX(tick, times, area);
        svg += FormatText("<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>\n", x, area.top, x, area.bottom - 1);
    }
    svg += "</g>\n";
    svg += FormatText("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"%s\"/>\n",
                      area.left, area.top, area.Width() - 1, area.Height() - 1, Colour(kChartAxis).c_str());

    svg += FormatText("<g fill=\"%s\">\n", Colour(kChartText).c_str());
    for (double tick : values.ticks)
        svg += Text(area.left - 6, ValueY(tick, values, area) + 4, "end", TickLabel(tick, values));
    for (double tick : times.ticks)
        svg += Text(AxisX(tick, times, area), area.bottom + 16, "middle", TickLabel(tick, times));
    svg += extra;
    svg += "</g>\n";

    // Legend: right-aligned entries along the top margin, the last first.
    int legendRight = area.right;
    for (size_t i = traces.size(); i-- > 0;) {
        const SvgTrace& trace = traces[i];
        double min, max;
        std::string label = trace.name + (ColumnRange(trace.columns, &min, &max) ? "" : " (no data)");
        int textWidth = static_cast<int>(label.size()) * 7;
        int x = legendRight - textWidth;
        svg += FormatText("<rect x=\"%d\" y=\"%d\" width=\"14\" height=\"4\" fill=\"%s\"/>\n", x - 18, legendY,
                          Colour(trace.colour).c_str());
        svg += Text(x, legendY + 6, "start", label, FormatText(" fill=\"%s\"", Colour(kChartText).c_str()).c_str());
        legendRight = x - 30;
    }

    for (const SvgTrace& trace : traces) {
        const std::vector<std::vector<PlotPoint>> lines =
            trace.steps ? StepLines(trace.columns, values, area) : TraceLines(trace.columns, values, area);
        for (const std::vector<PlotPoint>& points : lines) {
            if (points.size() == 1) {
                svg += FormatText("<circle cx=\"%d\" cy=\"%d\" r=\"2\" fill=\"%s\"/>\n", points[0].x, points[0].y,
                                  Colour(trace.colour).c_str());
                continue;
            }
            svg += FormatText("<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1\" points=\"",
                              Colour(trace.colour).c_str());
            for (size_t i = 0; i < points.size(); ++i)
                svg += FormatText(i == 0 ? "%d,%d" : " %d,%d", points[i].x, points[i].y);
            svg += "\"/>\n";
        }
    }
    return svg;
}

// Dashed lines across the plot area at the marks on the time axis.
std::string MarksSvg(const std::vector<SvgMark>& marks, const Axis& times, const PlotArea& area)
{
    std::string svg;
    for (const SvgMark& mark : marks) {
        if (mark.seconds < times.low || mark.seconds > times.high)
            continue;
        const int x = AxisX(mark.seconds, times, area);
        svg += FormatText("<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"%s\" stroke-dasharray=\"4 3\"/>\n", x,
                          area.top, x, area.bottom - 1, Colour(mark.colour).c_str());
        svg += Text(x + 3, area.top + 12, "start", mark.label, FormatText(" fill=\"%s\"", Colour(mark.colour).c_str()).c_str());
    }
    return svg;
}

// Filled bands under the grid over the part of each shade on the time axis.
std::string ShadesSvg(const std::vector<SvgShade>& shades, const Axis& times, const PlotArea& area)
{
    std::string svg;
    for (const SvgShade& shade : shades) {
        const double from = std::max(shade.fromSeconds, times.low), to = std::min(shade.toSeconds, times.high);
        if (!(from < to))
            continue;
        const int left = AxisX(from, times, area), right = AxisX(to, times, area);
        svg += FormatText("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", left, area.top,
                          std::max(right - left, 1), area.Height() - 1, Colour(shade.colour).c_str());
    }
    return svg;
}

std::string Head(int width, int height, const std::string& title)
{
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += FormatText("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
                      "font-family=\"sans-serif\" font-size=\"12\">\n",
                      width, height, width, height);
    svg += "<title>" + XmlText(title) + "</title>\n";
    svg += FormatText("<rect width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", width, height, Colour(kChartBackground).c_str());
    return svg;
}

} // namespace

std::string WriteSvg(const SvgChart& chart)
{
    const PlotArea area = PlotAreaOf(chart.width, chart.height);
    std::string svg = Head(chart.width, chart.height, chart.title);
    const Axis values = AutoAxis(chart.traces);
    const Axis times = FixedAxis(chart.fromSeconds, chart.toSeconds, kMaxTimeTicks);
    std::string extra = Text(area.left + area.Width() / 2, chart.height - 6, "middle", chart.timeLabel);
    if (!chart.valueLabel.empty())
        extra += Text(area.left - 6, area.top - 6, "end", chart.valueLabel);
    extra += Text(area.left, 18, "start", chart.title, " font-weight=\"bold\"");
    svg += ShadesSvg(chart.shades, times, area);
    svg += PaneSvg(area, chart.traces, values, times, extra, 8);
    svg += MarksSvg(chart.marks, times, area);
    svg += "</svg>\n";
    return svg;
}

int SvgStackPlotWidth(int width, int height, size_t panes)
{
    return PaneAreaOf(width, height - kStackTitleBand, panes, 0).Width();
}

std::string WriteSvgStack(const SvgStack& stack)
{
    std::string svg = Head(stack.width, stack.height, stack.title);
    svg += FormatText("<g fill=\"%s\">\n", Colour(kChartText).c_str()) +
           Text(kMarginLeft, 18, "start", stack.title, " font-weight=\"bold\"") + "</g>\n";
    const Axis times = FixedAxis(stack.fromSeconds, stack.toSeconds, kMaxTimeTicks);
    const size_t count = std::max<size_t>(stack.panes.size(), 1);
    for (size_t p = 0; p < stack.panes.size(); ++p) {
        const SvgPane& pane = stack.panes[p];
        PlotArea area = PaneAreaOf(stack.width, stack.height - kStackTitleBand, count, p);
        area.top += kStackTitleBand;
        area.bottom += kStackTitleBand;
        const Axis values = pane.fixed ? FixedAxis(pane.low, pane.high, kMaxValueTicks) : AutoAxis(pane.traces);
        std::string extra;
        if (!pane.valueLabel.empty())
            extra += Text(area.left - 6, area.top - 6, "end", pane.valueLabel);
        if (p + 1 == stack.panes.size())
            extra += Text(area.left + area.Width() / 2, area.bottom + 32, "middle", stack.timeLabel);
        svg += PaneSvg(area, pane.traces, values, times, extra, area.top - kMarginTop + 8);
        // The cursors and trigger marks, across the pane.
        svg += MarksSvg(stack.marks, times, area);
    }
    svg += "</svg>\n";
    return svg;
}
