#include "velkscope/ScopeModel.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include "common/FormatText.h"
#include "formats/CodeRows.h"
#include "signals/SignalText.h"

size_t SampleRing::LowerBound(int64_t micros) const
{
    size_t low = 0, high = Size();
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (At(middle).micros < micros)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

Trace::Trace(uint32_t traceCode, size_t signalIndex, size_t colourIndex, int64_t windowMicros)
    : code(traceCode), signal(signalIndex), colour(colourIndex), ring(kTraceSamples),
      arrays(ClassifyCode(traceCode) == kArrayPayload ? static_cast<size_t>(kTraceSamples) : 1),
      words(signalIndex != kRawTrace && ClassifyCode(traceCode) == kValueMessage ? static_cast<size_t>(kTraceSamples) : 1),
      strip(windowMicros, kStripColumns)
{
}

namespace {

// As a data word shows ("-5"), or with the fraction a physical value has.
std::string NumberText(double value)
{
    if (value == 0)
        return "0";   // no "-0"
    if (floor(value) == value && fabs(value) < 1e15)
        return FormatText("%.0f", value);
    return FormatText("%.6g", value);
}

} // namespace

ScopeModel::ScopeModel(int64_t windowMicros, ArrayValue arrayValue)
    : window_(windowMicros), arrayValue_(arrayValue)
{
    traces_.reserve(kMaxTraces);
}

int ScopeModel::RowOf(uint32_t code) const
{
    size_t at = RowIndex(rows_, code);
    return at < rows_.size() && rows_[at].code == code ? static_cast<int>(at) : -1;
}

int ScopeModel::Receive(uint32_t code, int64_t micros, const LatestValue& message, bool* inserted)
{
    ++received_;
    CodeRow* at = RowForCode(rows_, code, kMaxCodes, inserted);
    if (at == nullptr) {
        ++unlisted_;
        return -1;
    }
    CodeRow& row = *at;
    ++row.count;
    row.changed = true;
    row.latest = message;
    row.lastMicros = micros;
    Draw(code, micros, message);
    return static_cast<int>(at - rows_.data());
}

void ScopeModel::Draw(uint32_t code, int64_t micros, const LatestValue& message)
{
    const SignalMessage* known = nullptr;
    bool decoded = false;
    for (Trace& drawn : traces_) {
        if (drawn.code != code)
            continue;
        double value = 0;
        if (drawn.signal == kRawTrace) {
            int32_t raw = 0;
            if (!TraceValueOf(message.kind, message.value, message.bytes, arrayValue_, &raw))
                continue;
            value = raw;
        } else {
            if (!decoded) {
                known = signals_ != nullptr ? signals_->FindCode(code) : nullptr;
                if (known != nullptr)
                    DecodeMessage(*known, message.value, message.bytes, pages_, &decoded_);
                decoded = true;
            }
            if (known == nullptr || !DrawnValue(decoded_, drawn.signal, &value))
                continue;
        }
        Sample sample = { micros, value };
        drawn.ring.Add(sample);
        drawn.strip.Add(micros, value);
        if (message.kind == kArrayPayload) {
            ArrayHead head = {};
            head.length = message.length;
            memcpy(head.bytes, message.bytes.data(), std::min<size_t>(message.bytes.size(), kArrayHeadBytes));
            drawn.arrays.Add(head);
        } else if (drawn.signal != kRawTrace) {
            drawn.words.Add(message.value);
        }
    }
}

int ScopeModel::TraceOf(uint32_t code) const
{
    for (size_t i = 0; i < traces_.size(); ++i) {
        if (traces_[i].code == code)
            return static_cast<int>(i);
    }
    return -1;
}

bool ScopeModel::AddTrace(uint32_t code, size_t signal)
{
    if (std::any_of(traces_.begin(), traces_.end(), [&](const Trace& t) { return t.code == code && t.signal == signal; }))
        return true;
    if (traces_.size() >= kMaxTraces)
        return false;
    // The first colour no trace has.
    size_t colour = 0;
    while (std::any_of(traces_.begin(), traces_.end(), [&](const Trace& t) { return t.colour == colour; }))
        ++colour;
    traces_.emplace_back(code, signal, colour, window_);
    return true;
}

bool ScopeModel::Tick(uint32_t code)
{
    if (TraceOf(code) >= 0)
        return true;
    std::vector<SignalTraceRef> wanted;
    const SignalMessage* message = signals_ != nullptr ? signals_->FindCode(code) : nullptr;
    if (message != nullptr)
        AddMessageTraces(*message, &wanted);
    if (wanted.empty())
        wanted.push_back({ code, kRawTrace });
    if (traces_.size() + wanted.size() > kMaxTraces)
        return false;
    for (const SignalTraceRef& trace : wanted)
        AddTrace(trace.code, trace.index);
    return true;
}

bool ScopeModel::TickSignal(const SignalTraceRef& trace)
{
    return AddTrace(trace.code, trace.index);
}

void ScopeModel::Untick(uint32_t code)
{
    traces_.erase(std::remove_if(traces_.begin(), traces_.end(), [&](const Trace& t) { return t.code == code; }),
                  traces_.end());
}

bool ScopeModel::SetSignals(const SignalDatabase* signals, const SignalCodePages& pages)
{
    std::vector<uint32_t> codes;
    for (const Trace& trace : traces_) {
        if (std::find(codes.begin(), codes.end(), trace.code) == codes.end())
            codes.push_back(trace.code);
    }
    traces_.clear();
    signals_ = signals;
    pages_ = pages;
    bool all = true;
    for (uint32_t code : codes)
        all = Tick(code) && all;
    for (CodeRow& row : rows_)
        row.changed = true;
    return all;
}

std::string ScopeModel::TraceName(size_t trace) const
{
    const Trace& drawn = traces_[trace];
    const Signal* signal = signals_ != nullptr ? TraceSignal(*signals_, { drawn.code, drawn.signal }) : nullptr;
    if (signal == nullptr)
        return FormatText("%08x", static_cast<unsigned>(drawn.code));
    return signal->unit.empty() ? signal->name : signal->name + " [" + signal->unit + "]";
}

std::string ScopeModel::RowName(size_t row) const
{
    const uint32_t code = rows_[row].code;
    const SignalMessage* message = signals_ != nullptr ? signals_->FindCode(code) : nullptr;
    return FormatText("%08x", static_cast<unsigned>(code)) + (message != nullptr ? " " + message->name : "");
}

std::string ScopeModel::RowSignalText(size_t row) const
{
    const CodeRow& codeRow = rows_[row];
    const SignalMessage* message = signals_ != nullptr ? signals_->FindCode(codeRow.code) : nullptr;
    if (message == nullptr || codeRow.count == 0)
        return std::string();
    std::vector<DecodedSignal> decoded;
    DecodeMessage(*message, codeRow.latest.value, codeRow.latest.bytes, pages_, &decoded);
    std::string text;
    for (const DecodedSignal& signal : decoded)
        text += (text.empty() ? "" : "  ") + (signal.signal->fieldName.empty() ? FormatSignalValue(signal)
                                                                               : signal.signal->fieldName + "=" + FormatSignalValue(signal));
    return text;
}

bool ScopeModel::Late(size_t row, int64_t now) const
{
    const CodeRow& codeRow = rows_[row];
    const SignalMessage* message = signals_ != nullptr ? signals_->FindCode(codeRow.code) : nullptr;
    if (message == nullptr || message->periodMicros == 0 || codeRow.count == 0)
        return false;
    const uint64_t period = std::min<uint64_t>(message->periodMicros, INT64_MAX / 4);
    return now - codeRow.lastMicros > 2 * static_cast<int64_t>(period);
}

ColumnStrip ScopeModel::StripFromRing(const Trace& trace, int64_t end) const
{
    ColumnStrip strip(window_, kStripColumns);
    for (size_t i = trace.ring.LowerBound(end - window_); i < trace.ring.Size() && trace.ring.At(i).micros <= end; ++i)
        strip.Add(trace.ring.At(i).micros, trace.ring.At(i).value);
    return strip;
}

void ScopeModel::SetWindow(int64_t windowMicros, int64_t now)
{
    window_ = windowMicros;
    for (Trace& trace : traces_) {
        trace.strip = StripFromRing(trace, now);
        if (paused_)
            StripFromRing(trace, pausedAt_).CopyEnding(pausedAt_, &trace.frozen);
    }
}

void ScopeModel::Pause(int64_t now)
{
    if (paused_)
        return;
    paused_ = true;
    pausedAt_ = now;
    for (Trace& trace : traces_)
        trace.strip.CopyEnding(now, &trace.frozen);
}

void ScopeModel::Resume()
{
    paused_ = false;
    for (Trace& trace : traces_)
        std::vector<Column>().swap(trace.frozen);
}

void ScopeModel::Clear()
{
    for (Trace& trace : traces_) {
        trace.ring.Clear();
        trace.arrays.Clear();
        trace.strip.Clear();
        trace.frozen.clear();
    }
    for (CodeRow& row : rows_) {
        row.count = 0;
        row.changed = true;
    }
    received_ = 0;
    unlisted_ = 0;
}

std::vector<Column> ScopeModel::TraceColumns(size_t trace, int64_t now, size_t width) const
{
    const Trace& drawn = traces_[trace];
    if (paused_)
        return Regroup(drawn.frozen, width);
    std::vector<Column> fine;
    drawn.strip.CopyEnding(now, &fine);
    return Regroup(fine, width);
}

Axis ScopeModel::ValueAxis(const std::vector<std::vector<Column>>& shown, int maxTicks) const
{
    if (scaleFixed_)
        return fixedAxis_;
    bool any = false, whole = true;
    double low = 0, high = 0;
    for (const std::vector<Column>& columns : shown) {
        double min, max;
        if (ColumnRange(columns, &min, &max)) {
            low = any ? std::min(low, min) : min;
            high = any ? std::max(high, max) : max;
            any = true;
        }
        whole = whole && WholeColumns(columns);
    }
    return NiceAxis(low, high, maxTicks, whole ? 1 : 0);
}

void ScopeModel::FixScale(const Axis* axis)
{
    scaleFixed_ = axis != nullptr;
    if (axis != nullptr)
        fixedAxis_ = *axis;
}

CursorReading ScopeModel::ReadAt(const std::vector<std::vector<Column>>& shown, size_t pixel) const
{
    CursorReading reading;
    size_t width = shown.empty() ? 1 : std::max<size_t>(shown.front().size(), 1);
    pixel = std::min(pixel, width - 1);
    reading.secondsBack = static_cast<double>(window_) * static_cast<double>(width - 1 - pixel) /
                          static_cast<double>(width) / 1e6;
    for (size_t t = 0; t < shown.size(); ++t) {
        const std::vector<Column>& columns = shown[t];
        const Signal* signal = signals_ != nullptr && t < traces_.size()
                             ? TraceSignal(*signals_, { traces_[t].code, traces_[t].signal }) : nullptr;
        const std::string unit = signal != nullptr && !signal->unit.empty() ? " " + signal->unit : "";
        // The column under the cursor, else the last value before it, unless
        // the cursor is in a dropout, where the line breaks too.
        std::string text = "-";
        size_t before = columns.size(), after = columns.size();
        for (size_t p = std::min(pixel + 1, columns.size()); p-- > 0;)
            if (columns[p].count != 0) {
                before = p;
                break;
            }
        for (size_t p = pixel + 1; p < columns.size(); ++p)
            if (columns[p].count != 0) {
                after = p;
                break;
            }
        if (before != columns.size()) {
            const Column& column = columns[before];
            size_t gap = (after != columns.size() ? after : pixel) - before;
            if (before == pixel && column.min != column.max)
                text = NumberText(column.min) + ".." + NumberText(column.max) + unit;
            else if (before == pixel || !IsDropout(gap, TypicalStep(columns)))
                text = NumberText(before == pixel ? column.min : column.last) + unit;
        }
        reading.values.push_back(text);
    }
    return reading;
}

std::vector<RecordedMessage> ScopeModel::VisibleMessages(int64_t now) const
{
    // Each trace's visible run, merged by time.
    std::vector<size_t> next(traces_.size()), end(traces_.size());
    for (size_t t = 0; t < traces_.size(); ++t) {
        const SampleRing& ring = traces_[t].ring;
        next[t] = ring.LowerBound(now - window_);
        end[t] = ring.LowerBound(now + 1);
        // The fields of one message are one message.
        for (size_t earlier = 0; earlier < t; ++earlier) {
            if (traces_[earlier].code == traces_[t].code)
                next[t] = end[t];
        }
    }
    std::vector<RecordedMessage> messages;
    for (;;) {
        size_t earliest = traces_.size();
        for (size_t t = 0; t < traces_.size(); ++t) {
            if (next[t] < end[t] && (earliest == traces_.size() ||
                                     traces_[t].ring.At(next[t]).micros < traces_[earliest].ring.At(next[earliest]).micros))
                earliest = t;
        }
        if (earliest == traces_.size())
            return messages;
        const Trace& trace = traces_[earliest];
        const size_t i = next[earliest]++;
        RecordedMessage message;
        message.micros = static_cast<uint64_t>(std::max<int64_t>(trace.ring.At(i).micros, 0));
        message.code = trace.code;
        message.kind = ClassifyCode(trace.code);
        message.value = trace.signal == kRawTrace ? static_cast<int32_t>(trace.ring.At(i).value)
                      : message.kind == kValueMessage ? trace.words.At(i) : 0;
        if (message.kind == kArrayPayload) {
            const ArrayHead& head = trace.arrays.At(i);
            message.bytes.assign(reinterpret_cast<const char*>(head.bytes),
                                 static_cast<size_t>(std::min<int32_t>(head.length, kArrayHeadBytes)));
        }
        messages.push_back(message);
    }
}
