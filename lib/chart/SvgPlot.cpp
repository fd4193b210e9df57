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

std::string WriteSvg(const SvgChart& chart)
{
    const PlotArea area = PlotAreaOf(chart.width, chart.height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += FormatText("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
                      "font-family=\"sans-serif\" font-size=\"12\">\n",
                      chart.width, chart.height, chart.width, chart.height);
    svg += "<title>" + XmlText(chart.title) + "</title>\n";
    svg += FormatText("<rect width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", chart.width, chart.height,
                      Colour(kChartBackground).c_str());

    // One scale over every trace's samples, stepping by whole numbers
    // unless a fraction is to be read off it.
    bool any = false, whole = true;
    double low = 0, high = 0;
    for (const SvgTrace& trace : chart.traces) {
        double min, max;
        if (ColumnRange(trace.columns, &min, &max)) {
            low = any ? std::min(low, min) : min;
            high = any ? std::max(high, max) : max;
            any = true;
        }
        whole = whole && WholeColumns(trace.columns);
    }
    const Axis values = NiceAxis(low, high, kMaxValueTicks, whole ? 1 : 0);
    const Axis times = FixedAxis(chart.fromSeconds, chart.toSeconds, kMaxTimeTicks);

    svg += FormatText("<g stroke=\"%s\" stroke-width=\"1\">\n", Colour(kChartGrid).c_str());
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
    svg += Text(area.left + area.Width() / 2, chart.height - 6, "middle", chart.timeLabel);
    if (!chart.valueLabel.empty())
        svg += Text(area.left - 6, area.top - 6, "end", chart.valueLabel);
    svg += Text(area.left, 18, "start", chart.title, " font-weight=\"bold\"");
    svg += "</g>\n";

    // Legend: right-aligned entries along the top margin, the last first.
    int legendRight = area.right;
    for (size_t i = chart.traces.size(); i-- > 0;) {
        const SvgTrace& trace = chart.traces[i];
        double min, max;
        std::string label = trace.name + (ColumnRange(trace.columns, &min, &max) ? "" : " (no data)");
        int textWidth = static_cast<int>(label.size()) * 7;
        int x = legendRight - textWidth;
        svg += FormatText("<rect x=\"%d\" y=\"8\" width=\"14\" height=\"4\" fill=\"%s\"/>\n", x - 18, Colour(trace.colour).c_str());
        svg += Text(x, 14, "start", label, FormatText(" fill=\"%s\"", Colour(kChartText).c_str()).c_str());
        legendRight = x - 30;
    }

    for (const SvgTrace& trace : chart.traces) {
        for (const std::vector<PlotPoint>& points : TraceLines(trace.columns, values, area)) {
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
    svg += "</svg>\n";
    return svg;
}
