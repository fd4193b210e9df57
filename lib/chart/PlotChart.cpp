#include "chart/PlotChart.h"

#include <math.h>

#include <algorithm>
#include <numeric>

#include "chart/ChartGeometry.h"
#include "chart/TraceValue.h"
#include "common/FormatText.h"

namespace {

// Fine columns per pixel column: after the span last doubled, the data
// fill at least half of them, so every pixel still gets four or more.
const size_t kFinePerPixel = 8;
// The first span when the end is not given; it doubles as the data run on.
const int64_t kFirstSpanMicros = 1000;

// Each legend entry says its unit, next to its colour: one value axis
// serves traces of any units, and none is read against the wrong one.
std::string SignalTraceName(const PlotSignalTrace& signal)
{
    return signal.unit.empty() ? signal.name : signal.name + " [" + signal.unit + "]";
}

// The unit every trace has, for the value axis; empty when they differ.
std::string SharedUnit(const std::vector<PlotSignalTrace>& signals)
{
    for (const PlotSignalTrace& signal : signals) {
        if (signal.unit != signals.front().unit)
            return std::string();
    }
    return signals.empty() ? std::string() : signals.front().unit;
}

} // namespace

std::string CodeTraceName(uint32_t code)
{
    MessageKind kind = ClassifyCode(code);
    return FormatText("%08x", static_cast<unsigned>(code)) +
           (kind == kArrayPayload ? " (byte 0)" : kind == kStringPayload ? " (string, not drawn)" : "");
}

PlotCollector::PlotCollector(const PlotRequest& request)
    : request_(request), plotWidth_(static_cast<size_t>(SvgPlotWidth(request.width, request.height))),
      counts_(TraceCount())
{
    if (request_.fromGiven)
        Begin(request_.fromMicros);
}

size_t PlotCollector::TraceCount() const
{
    return request_.signals.empty() ? request_.codes.size() : request_.signals.size();
}

void PlotCollector::Begin(uint64_t from)
{
    begun_ = true;
    from_ = from;
    int64_t span = request_.toGiven ? static_cast<int64_t>(request_.toMicros - from) : kFirstSpanMicros;
    for (size_t i = 0; i < TraceCount(); ++i)
        spans_.emplace_back(static_cast<int64_t>(from), std::max<int64_t>(span, 1), plotWidth_ * kFinePerPixel);
}

void PlotCollector::Add(const RecordedMessage& message)
{
    if (!request_.signals.empty())
        return;
    std::vector<uint32_t>::const_iterator code = std::find(request_.codes.begin(), request_.codes.end(), message.code);
    int32_t value = 0;
    if (code == request_.codes.end() || !TraceValueOf(message.kind, message.value, message.bytes, kArrayFirstByte, &value))
        return;
    AddValue(static_cast<size_t>(code - request_.codes.begin()), message.micros, value);
}

void PlotCollector::AddValue(size_t trace, uint64_t micros, double value)
{
    if (trace >= counts_.size() || !isfinite(value))
        return;
    if (micros < request_.fromMicros || (request_.toGiven && micros > request_.toMicros))
        return;
    if (!begun_)
        Begin(micros);
    // Every trace on one time axis: the spans double together.
    const int64_t offset = static_cast<int64_t>(micros - from_);
    while (!request_.toGiven && offset >= spans_.front().Span()) {
        for (ColumnSpan& span : spans_) {
            if (!span.Double())
                return;
        }
    }
    if (spans_[trace].Add(static_cast<int64_t>(micros), value)) {
        ++counts_[trace];
        last_ = std::max(last_, micros);
    }
}

uint64_t PlotCollector::Drawn() const
{
    return std::accumulate(counts_.begin(), counts_.end(), uint64_t(0));
}

std::vector<uint32_t> PlotCollector::Undrawn() const
{
    std::vector<uint32_t> undrawn;
    for (size_t i = 0; i < request_.codes.size() && request_.signals.empty(); ++i) {
        if (counts_[i] == 0)
            undrawn.push_back(request_.codes[i]);
    }
    return undrawn;
}

std::vector<std::string> PlotCollector::UndrawnSignals() const
{
    std::vector<std::string> undrawn;
    for (size_t i = 0; i < request_.signals.size(); ++i) {
        if (counts_[i] == 0)
            undrawn.push_back(request_.signals[i].name);
    }
    return undrawn;
}

SvgChart PlotCollector::Chart() const
{
    SvgChart chart;
    chart.title = request_.title;
    chart.timeLabel = "time (s) since the recording started";
    chart.width = request_.width;
    chart.height = request_.height;

    // The time shown: what was asked for, else from the first point to the
    // last, but never less than a pixel per fine column.
    int64_t span = spans_.empty() ? 1000000 : spans_.front().Span();
    int64_t shown = request_.toGiven ? span : std::max<int64_t>(static_cast<int64_t>(last_ - from_) + 1, span / static_cast<int64_t>(kFinePerPixel));
    chart.fromSeconds = static_cast<double>(from_) / 1e6;
    chart.toSeconds = static_cast<double>(from_ + static_cast<uint64_t>(shown)) / 1e6;

    if (request_.shadeGiven)
        chart.shades.push_back({ static_cast<double>(request_.shadeFromMicros) / 1e6,
                                 static_cast<double>(request_.shadeToMicros) / 1e6, kChartShade });
    for (uint64_t mark : request_.marks)
        chart.marks.push_back({ static_cast<double>(mark) / 1e6, std::string(), kChartMark });

    chart.valueLabel = SharedUnit(request_.signals);
    for (size_t i = 0; i < TraceCount(); ++i) {
        SvgTrace trace;
        trace.name = request_.signals.empty() ? CodeTraceName(request_.codes[i]) : SignalTraceName(request_.signals[i]);
        trace.colour = TraceColour(i);
        if (spans_.empty()) {
            trace.columns.assign(plotWidth_, Column());
        } else {
            // The fine columns that cover the time shown, onto the pixels.
            const std::vector<Column>& fine = spans_[i].Columns();
            size_t used = static_cast<size_t>((static_cast<uint64_t>(shown) * fine.size() + static_cast<uint64_t>(span) - 1) /
                                              static_cast<uint64_t>(span));
            used = std::min(std::max<size_t>(used, 1), fine.size());
            trace.columns = Regroup(std::vector<Column>(fine.begin(), fine.begin() + static_cast<ptrdiff_t>(used)), plotWidth_);
        }
        chart.traces.push_back(trace);
    }
    return chart;
}
