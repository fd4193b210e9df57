#include "velkscope/ScopeModel.h"

#include <math.h>

#include <algorithm>

#include "common/FormatText.h"
#include "signals/SignalText.h"
#include "velkscope/DefaultTraces.h"
#include "velkscope/RecordingBudget.h"

namespace {

const int64_t kMinSpanMicros = 100;                  // the narrowest view
const int64_t kMaxSpanMicros = 1000000000000000LL;   // the widest: about 31 years
const uint64_t kStripRebuildMessages = 1 << 21;      // a strip is rebuilt from at most this many
const uint64_t kDetailBytes = 24 << 20;              // a recording's stretch read again, at most

int64_t Clamp(int64_t value, int64_t low, int64_t high)
{
    return std::min(std::max(value, low), high);
}

bool Covers(const Detail& detail, int64_t from, int64_t to, const TraceKey& key)
{
    return detail.from <= from && detail.to >= to &&
           std::find(detail.keys.begin(), detail.keys.end(), key) != detail.keys.end();
}

} // namespace

const std::string* EnumNameAt(const Signal& signal, double value)
{
    if (signal.enums.empty())
        return nullptr;
    const double raw = signal.scale != 0 ? (value - signal.offset) / signal.scale : value;
    return signal.EnumName(static_cast<int64_t>(llround(raw)));
}

std::string NumberText(double value)
{
    if (value == 0)
        return "0";   // no "-0"
    if (floor(value) == value && fabs(value) < 1e15)
        return FormatText("%.0f", value);
    return FormatText("%.6g", value);
}

Trace::Trace(size_t sourceIndex, uint32_t traceCode, size_t signalIndex, size_t colourIndex, size_t paneIndex,
             int64_t windowMicros)
    : source(sourceIndex), code(traceCode), signal(signalIndex), colour(colourIndex), pane(paneIndex),
      strip(windowMicros, kStripColumns)
{
}

ScopeModel::ScopeModel(int64_t windowMicros, ArrayValue arrayValue, size_t summaryBudget)
    : window_(windowMicros), arrayValue_(arrayValue), summaryBudget_(summaryBudget), panes_(1)
{
    sources_.emplace_back(new ScopeSource(nullptr, arrayValue, summaryBudget, kLiveBaseMicros));
    sources_[0]->live = true;
    details_.resize(1);
    traces_.reserve(kMaxScopeTraces);
}

// ---- The bus. ----

int ScopeModel::ReceiveMessage(ScopeMessage* message, bool* inserted)
{
    DecodeScopeMessage(signals_, pages_, message);
    history_.Add(message->message);
    const int row = Live().data.Add(*message, inserted);
    if (row < 0)
        return row;
    for (Trace& trace : traces_) {
        double value = 0;
        if (trace.source == 0 && trace.code == message->message.code &&
            TraceValueOfMessage(*message, trace.signal, arrayValue_, &value))
            trace.strip.Add(static_cast<int64_t>(message->message.micros), value);
    }
    return row;
}

int ScopeModel::Receive(uint32_t code, int64_t micros, const LatestValue& latest, bool* inserted)
{
    ScopeMessage message;
    message.message.micros = static_cast<uint64_t>(std::max<int64_t>(micros, 0));
    message.message.code = code;
    message.message.kind = latest.kind;
    message.message.value = latest.value;
    message.message.bytes = latest.bytes;
    message.message.expired = latest.expired;
    return ReceiveMessage(&message, inserted);
}

void ScopeModel::MarkShown(size_t row, bool late)
{
    SourceRow& shown = Live().data.MutableRows()[row];
    shown.changed = false;
    shown.shownLate = late;
}

void ScopeModel::Clear()
{
    Live().data.Clear();
    history_.Clear();
    for (Trace& trace : traces_) {
        if (trace.source == 0)
            trace.strip.Clear();
    }
    details_[0] = Detail();
}

// ---- Sources. ----

size_t ScopeModel::AddRecording(const std::string& name, const std::string& path, uint64_t fileBytes)
{
    sources_.emplace_back(new ScopeSource(signals_, arrayValue_, summaryBudget_));
    // The recordings share one budget: each one's summary gets coarser.
    for (size_t i = 1; i < sources_.size(); ++i)
        sources_[i]->data.SetBudget(RecordingBudget());
    ScopeSource& source = *sources_.back();
    source.name = name;
    source.path = path;
    source.fileBytes = fileBytes;
    source.reading = true;
    details_.emplace_back();
    return sources_.size() - 1;
}

void ScopeModel::ApplyBatch(size_t index, PassBatch* batch)
{
    ScopeSource& source = *sources_[index];
    for (const PassLatest& latest : batch->latest) {
        bool inserted = false;
        source.data.NoteLatest(latest.message, latest.count, latest.faults, &inserted);
    }
    source.data.AddUnlisted(batch->unlisted);
    for (const PassSample& sample : batch->samples)
        source.data.AddSample(sample.code, sample.signal, sample.micros, sample.value);
    source.index.Append(batch->marks);
    for (uint64_t trigger : batch->triggers)
        source.triggers.push_back(static_cast<int64_t>(trigger));
    source.bytesRead = batch->bytes;
    source.fileBytesRead = batch->fileBytes;
    source.messages = batch->messages;
    source.badLines = batch->badLines;
    source.latestBadLine = batch->latestBadLine;
    if (batch->startKnown) {
        source.startKnown = true;
        source.start = batch->start;
    }
    if (batch->done) {
        source.reading = false;
        source.bytesRead = std::max(source.bytesRead, source.fileBytes);
        source.fileBytesRead = source.fileBytes;
        source.notice = batch->notice;
        source.error = batch->error;
    }
}

size_t ScopeModel::RecordingBudget() const
{
    return std::min(summaryBudget_, RecordingSummaryBudget(Recordings()));
}

void ScopeModel::ResetForReading(size_t index)
{
    ScopeSource& source = *sources_[index];
    source.data = SourceData(signals_, arrayValue_, RecordingBudget());
    source.index.Clear();
    source.triggers.clear();
    source.reading = true;
    source.bytesRead = source.fileBytesRead = source.messages = source.badLines = 0;
    source.latestBadLine.clear();
    source.notice.clear();
    source.error.clear();
    details_[index] = Detail();
    wanted_.erase(std::remove_if(wanted_.begin(), wanted_.end(), [index](const DetailRequest& r) { return r.source == index; }),
                  wanted_.end());
}

void ScopeModel::CloseRecordings()
{
    for (size_t i = traces_.size(); i-- > 0;) {
        if (traces_[i].source != 0)
            traces_.erase(traces_.begin() + static_cast<ptrdiff_t>(i));
    }
    for (Pane& pane : panes_)
        pane.xTrace = -1;
    sources_.resize(1);
    details_.resize(1);
    wanted_.clear();
}

void ScopeModel::SetOffset(size_t source, int64_t micros)
{
    sources_[source]->offsetMicros = Clamp(micros, -kMaxSpanMicros, kMaxSpanMicros);
}

bool ScopeModel::AxisStart(WallTime* start) const
{
    bool any = false;
    // The bus counts once it has brought something, or when it is all there is.
    uint64_t oldest = 0, newest = 0;
    const bool liveCounts = Recordings() == 0 || history_.Span(&oldest, &newest);
    for (const std::unique_ptr<ScopeSource>& source : sources_) {
        if (source->live && !liveCounts)
            continue;
        if (source->startKnown && (!any || source->start.utcMicros < start->utcMicros)) {
            *start = source->start;
            any = true;
        }
    }
    return any;
}

int64_t ScopeModel::Origin(size_t index) const
{
    const ScopeSource& source = *sources_[index];
    WallTime start = {};
    const int64_t clock = source.startKnown && AxisStart(&start) ? source.start.utcMicros - start.utcMicros : 0;
    return Clamp(clock, -kMaxSpanMicros, kMaxSpanMicros) + source.offsetMicros;
}

bool ScopeModel::SetSignals(const SignalDatabase* signals, const SignalCodePages& pages)
{
    struct Ticked { size_t source; uint32_t code; size_t pane; };
    std::vector<Ticked> ticked;
    for (const Trace& trace : traces_) {
        if (std::none_of(ticked.begin(), ticked.end(),
                         [&](const Ticked& t) { return t.source == trace.source && t.code == trace.code; }))
            ticked.push_back(Ticked{ trace.source, trace.code, trace.pane });
    }
    traces_.clear();
    for (Pane& pane : panes_)
        pane.xTrace = -1;
    signals_ = signals;
    pages_ = pages;
    Live().data.Redecode(signals, pages);
    details_[0] = Detail();
    for (size_t i = 1; i < sources_.size(); ++i)
        ResetForReading(i);
    wanted_.clear();
    // The bus's traces again from what the history holds.
    history_.ForEach(0, UINT64_MAX, [this](const RecordedMessage& kept) {
        ScopeMessage message;
        message.message = kept;
        DecodeScopeMessage(signals_, pages_, &message);
        const int row = Live().data.RowOf(kept.code);
        if (row >= 0) {
            for (const SourceTrace& trace : Live().data.Rows()[static_cast<size_t>(row)].traces) {
                double value = 0;
                if (TraceValueOfMessage(message, trace.signal, arrayValue_, &value))
                    Live().data.AddSample(kept.code, trace.signal, static_cast<int64_t>(kept.micros), value);
            }
        }
        return true;
    });
    bool all = true;
    const size_t active = activePane_;
    for (const Ticked& t : ticked) {
        activePane_ = t.pane;
        all = TickIn(t.source, t.code) && all;
    }
    activePane_ = active;
    return all;
}

// ---- Traces and panes. ----

int ScopeModel::TraceOfIn(size_t source, uint32_t code) const
{
    for (size_t i = 0; i < traces_.size(); ++i) {
        if (traces_[i].source == source && traces_[i].code == code)
            return static_cast<int>(i);
    }
    return -1;
}

size_t ScopeModel::FreeColour() const
{
    // The first colour no trace has; when every one is taken, the least used.
    std::vector<size_t> uses(kTraceColours, 0);
    for (const Trace& trace : traces_)
        ++uses[trace.colour % kTraceColours];
    return static_cast<size_t>(std::min_element(uses.begin(), uses.end()) - uses.begin());
}

bool ScopeModel::AddTrace(size_t source, uint32_t code, size_t signal, size_t pane, int colour)
{
    if (source >= sources_.size())
        return false;
    if (std::any_of(traces_.begin(), traces_.end(),
                    [&](const Trace& t) { return t.source == source && t.code == code && t.signal == signal; }))
        return true;
    if (traces_.size() >= kMaxScopeTraces)
        return false;
    pane = std::min(pane, panes_.size() - 1);
    const size_t chosen = colour >= 0 ? static_cast<size_t>(colour) % kTraceColours : FreeColour();
    traces_.emplace_back(source, code, signal, chosen, pane, window_);
    if (source == 0) {
        uint64_t oldest = 0, newest = 0;
        if (history_.Span(&oldest, &newest))
            RebuildStrip(&traces_.back(), static_cast<int64_t>(newest));
    }
    return true;
}

bool ScopeModel::TickIn(size_t source, uint32_t code)
{
    if (source >= sources_.size())
        return false;
    if (TraceOfIn(source, code) >= 0)
        return true;
    const SignalMessage* known = signals_ != nullptr ? signals_->FindCode(code) : nullptr;
    const std::vector<size_t> signals = TracesOfCode(code, known);
    if (traces_.size() + signals.size() > kMaxScopeTraces)
        return false;
    for (size_t signal : signals)
        AddTrace(source, code, signal, activePane_);
    return true;
}

bool ScopeModel::MirrorTraces(size_t to)
{
    const bool recordings = std::any_of(traces_.begin(), traces_.end(),
                                        [to](const Trace& t) { return t.source != 0 && t.source != to; });
    struct Copied { uint32_t code; size_t signal, pane; };
    std::vector<Copied> copied;
    for (const Trace& trace : traces_) {
        if (trace.source == to || (recordings ? trace.source == 0 : trace.source != 0))
            continue;
        if (std::none_of(copied.begin(), copied.end(),
                         [&](const Copied& c) { return c.code == trace.code && c.signal == trace.signal; }))
            copied.push_back(Copied{ trace.code, trace.signal, trace.pane });
    }
    for (const Copied& trace : copied)
        AddTrace(to, trace.code, trace.signal, trace.pane);
    return !copied.empty();
}

bool ScopeModel::TickDefaults(size_t source, const std::vector<uint32_t>& codes)
{
    const std::vector<DefaultTrace> chosen = ChooseDefaultTraces(codes, signals_, kDefaultTraces, kMaxPanes);
    if (chosen.empty())
        return false;
    // With traces drawn already, the panes stay and these go to the active one.
    const bool ownPanes = traces_.empty();
    if (ownPanes) {
        size_t panes = 0;
        for (const DefaultTrace& trace : chosen)
            panes = std::max(panes, trace.pane + 1);
        ResetPanes(panes);
    }
    for (const DefaultTrace& trace : chosen)
        AddTrace(source, trace.code, trace.signal, ownPanes ? trace.pane : activePane_);
    return true;
}

void ScopeModel::UntickIn(size_t source, uint32_t code)
{
    for (size_t i = traces_.size(); i-- > 0;) {
        if (traces_[i].source != source || traces_[i].code != code)
            continue;
        traces_.erase(traces_.begin() + static_cast<ptrdiff_t>(i));
        for (Pane& pane : panes_) {
            if (pane.xTrace == static_cast<int>(i))
                pane.xTrace = -1;
            else if (pane.xTrace > static_cast<int>(i))
                --pane.xTrace;
        }
    }
}

void ScopeModel::UntickSource(size_t source)
{
    while (true) {
        auto found = std::find_if(traces_.begin(), traces_.end(), [source](const Trace& t) { return t.source == source; });
        if (found == traces_.end())
            return;
        UntickIn(source, found->code);
    }
}

uint64_t ScopeModel::TraceSamples(size_t index) const
{
    const Trace& trace = traces_[index];
    const SourceData& data = sources_[trace.source]->data;
    const size_t summary = data.SummaryOf(trace.code, trace.signal);
    return summary == kNoSummary ? 0 : data.Summaries().Samples(summary);
}

const Signal* ScopeModel::TraceSignal(size_t index) const
{
    const Trace& trace = traces_[index];
    return signals_ != nullptr ? ::TraceSignal(*signals_, { trace.code, trace.signal }) : nullptr;
}

bool ScopeModel::IsEvents(size_t trace) const
{
    return IsEventTrace(traces_[trace].code, traces_[trace].signal);
}

std::string ScopeModel::TraceUnit(size_t trace) const
{
    const Signal* signal = TraceSignal(trace);
    return signal != nullptr ? signal->unit : std::string();
}

std::string ScopeModel::TraceName(size_t index) const
{
    const Trace& trace = traces_[index];
    const Signal* signal = TraceSignal(index);
    // A string code the file knows draws its events under the message's name.
    const SignalMessage* message = signal == nullptr && signals_ != nullptr && IsEvents(index) ? signals_->FindCode(trace.code) : nullptr;
    std::string name = message != nullptr ? message->name
                     : signal == nullptr ? FormatText("%08x", static_cast<unsigned>(trace.code))
                     : signal->unit.empty() ? signal->name : signal->name + " [" + signal->unit + "]";
    if (MixedSources())
        name = (trace.source == 0 ? std::string("bus") : sources_[trace.source]->name) + ": " + name;
    return name;
}

bool ScopeModel::MixedSources() const
{
    return std::any_of(traces_.begin(), traces_.end(), [this](const Trace& t) { return t.source != traces_.front().source; });
}

void ScopeModel::ResetPanes(size_t panes)
{
    traces_.clear();
    panes_.assign(std::min<size_t>(std::max<size_t>(panes, 1), kMaxPanes), Pane());
    activePane_ = 0;
}

bool ScopeModel::AddPane()
{
    if (panes_.size() >= kMaxPanes)
        return false;
    panes_.emplace_back();
    return true;
}

void ScopeModel::DropEmptyPanes()
{
    for (size_t p = panes_.size(); p-- > 0 && panes_.size() > 1;) {
        if (std::any_of(traces_.begin(), traces_.end(), [p](const Trace& t) { return t.pane == p; }))
            continue;
        panes_.erase(panes_.begin() + static_cast<ptrdiff_t>(p));
        for (Trace& trace : traces_) {
            if (trace.pane > p)
                --trace.pane;
        }
    }
    activePane_ = std::min(activePane_, panes_.size() - 1);
}

void ScopeModel::MoveTrace(size_t trace, size_t pane)
{
    if (trace >= traces_.size() || pane > panes_.size() || (pane == panes_.size() && !AddPane()))
        return;
    Pane& old = panes_[traces_[trace].pane];
    if (old.xTrace == static_cast<int>(trace))
        old.xTrace = -1;
    traces_[trace].pane = pane;
    activePane_ = pane;
    DropEmptyPanes();
}

void ScopeModel::SetPaneScale(size_t pane, const Axis* fixed)
{
    if (pane >= panes_.size())
        return;
    panes_[pane].fixed = fixed != nullptr;
    if (fixed != nullptr)
        panes_[pane].axis = *fixed;
}

void ScopeModel::SetPaneX(size_t pane, int xTrace)
{
    if (pane >= panes_.size())
        return;
    const bool valid = xTrace >= 0 && static_cast<size_t>(xTrace) < traces_.size() &&
                       traces_[static_cast<size_t>(xTrace)].pane == pane;
    panes_[pane].xTrace = valid ? xTrace : -1;
}

std::string ScopeModel::RowNameIn(size_t source, size_t row) const
{
    const uint32_t code = sources_[source]->data.Rows()[row].code;
    const SignalMessage* message = signals_ != nullptr ? signals_->FindCode(code) : nullptr;
    return FormatText("%08x", static_cast<unsigned>(code)) + (message != nullptr ? " " + message->name : "");
}

std::string ScopeModel::RowSignalTextIn(size_t source, size_t row) const
{
    const SourceRow& codeRow = sources_[source]->data.Rows()[row];
    std::string text;
    for (const DecodedSignal& signal : codeRow.decoded) {
        if (signal.unselected)
            continue;
        text += (text.empty() ? "" : "  ") + (signal.signal->fieldName.empty() ? FormatSignalValue(signal)
                                                                           : signal.signal->fieldName + "=" + FormatSignalValue(signal));
    }
    return text;
}

bool ScopeModel::Late(size_t row, int64_t now) const
{
    const SourceRow& codeRow = Rows()[row];
    const SignalMessage* message = signals_ != nullptr ? signals_->FindCode(codeRow.code) : nullptr;
    if (message == nullptr || message->periodMicros == 0 || codeRow.count == 0)
        return false;
    const uint64_t period = std::min<uint64_t>(message->periodMicros, INT64_MAX / 4);
    return now - codeRow.lastMicros > 2 * static_cast<int64_t>(period);
}

// ---- The view. ----

void ScopeModel::RebuildStrip(Trace* trace, int64_t now) const
{
    trace->strip = ColumnStrip(window_, kStripColumns);
    const uint64_t from = std::max<uint64_t>(static_cast<uint64_t>(std::max<int64_t>(now - window_, 0)),
                                             history_.TimeBeforeNewest(kStripRebuildMessages));
    history_.ForEach(from, static_cast<uint64_t>(std::max<int64_t>(now, 0)), [&](const RecordedMessage& kept) {
        if (kept.code != trace->code)
            return true;
        ScopeMessage message;
        message.message = kept;
        DecodeScopeMessage(signals_, pages_, &message);
        double value = 0;
        if (TraceValueOfMessage(message, trace->signal, arrayValue_, &value))
            trace->strip.Add(static_cast<int64_t>(kept.micros), value);
        return true;
    });
}

void ScopeModel::SetWindow(int64_t windowMicros, int64_t now)
{
    window_ = windowMicros;
    for (Trace& trace : traces_) {
        if (trace.source == 0)
            RebuildStrip(&trace, now);
    }
    if (!following_)
        viewFrom_ = viewTo_ - window_;
}

void ScopeModel::Pause(int64_t now)
{
    if (!following_)
        return;
    following_ = false;
    pausedAt_ = now + Origin(0);
    viewTo_ = pausedAt_;
    viewFrom_ = viewTo_ - window_;
}

void ScopeModel::Resume()
{
    following_ = true;
}

int64_t ScopeModel::ShownNow(int64_t now) const
{
    if (following_)
        return now + Origin(0);
    return Recordings() > 0 ? 0 : pausedAt_;
}

void ScopeModel::View(int64_t now, int64_t* from, int64_t* to) const
{
    if (following_) {
        *to = now + Origin(0);
        *from = *to - window_;
    } else {
        *from = viewFrom_;
        *to = viewTo_;
    }
}

void ScopeModel::SetView(int64_t from, int64_t to)
{
    if (following_) {
        following_ = false;
        pausedAt_ = to;
    }
    from = Clamp(from, -kMaxSpanMicros, kMaxSpanMicros);
    to = Clamp(to, -kMaxSpanMicros, kMaxSpanMicros);
    if (to - from < kMinSpanMicros) {
        const int64_t middle = from / 2 + to / 2;
        from = middle - kMinSpanMicros / 2;
        to = from + kMinSpanMicros;
    }
    viewFrom_ = from;
    viewTo_ = to;
}

void ScopeModel::ZoomTime(int64_t now, int64_t centre, double factor)
{
    int64_t from, to;
    View(now, &from, &to);
    if (!(factor > 0))
        return;
    const double span = std::min(std::max(static_cast<double>(to - from) * factor, static_cast<double>(kMinSpanMicros)),
                                 static_cast<double>(kMaxSpanMicros));
    const double scale = span / static_cast<double>(to - from);
    const int64_t start = centre - static_cast<int64_t>(static_cast<double>(centre - from) * scale);
    SetView(start, start + static_cast<int64_t>(span));
}

void ScopeModel::PanTime(int64_t now, double fraction)
{
    int64_t from, to;
    View(now, &from, &to);
    const int64_t shift = static_cast<int64_t>(static_cast<double>(to - from) * fraction);
    SetView(from + shift, to + shift);
}

bool ScopeModel::Extent(int64_t now, int64_t* first, int64_t* last) const
{
    bool any = false;
    for (size_t i = 0; i < sources_.size(); ++i) {
        int64_t from = 0, to = 0;
        uint64_t oldest = 0, newest = 0;
        if (i == 0 && history_.Span(&oldest, &newest)) {
            from = static_cast<int64_t>(oldest);
            to = std::max(static_cast<int64_t>(newest), now);
        } else if (i == 0 || !sources_[i]->data.Summaries().Extent(&from, &to)) {
            continue;
        }
        from += Origin(i);
        to += Origin(i);
        *first = any ? std::min(*first, from) : from;
        *last = any ? std::max(*last, to) : to;
        any = true;
    }
    return any;
}

void ScopeModel::ShowAll(int64_t now)
{
    int64_t first = 0, last = 0;
    if (!Extent(now, &first, &last)) {
        View(now, &first, &last);
    }
    // A little room either side, so the ends are not on the frame.
    const int64_t margin = std::max<int64_t>((last - first) / 50, 1000);
    SetView(first - margin, last + margin);
    for (Pane& pane : panes_)
        pane.fixed = false;
}

void ScopeModel::ZoomValues(size_t pane, double value, double factor)
{
    if (pane >= panes_.size() || !(factor > 0))
        return;
    Pane& zoomed = panes_[pane];
    const double low = value - (value - zoomed.axis.low) * factor;
    const double high = value + (zoomed.axis.high - value) * factor;
    if (!(high > low) || !isfinite(low) || !isfinite(high))
        return;
    zoomed.fixed = true;
    zoomed.axis = Axis();
    zoomed.axis.low = low;
    zoomed.axis.high = high;
}

TimeScale ScopeModel::TimeScaleOf(int64_t now, int maxTicks) const
{
    TimeScale scale;
    int64_t from, to;
    View(now, &from, &to);
    WallTime start = {};
    if (wallClock_ && AxisStart(&start)) {
        // Seconds since the local midnight before axis time 0.
        const int64_t local = start.utcMicros + static_cast<int64_t>(start.offsetMinutes) * 60000000;
        const int64_t day = 86400000000LL;
        const int64_t sinceMidnight = ((local % day) + day) % day;
        scale.wall = true;
        scale.anchor = -sinceMidnight;
        scale.axis = FixedAxis(static_cast<double>(from - scale.anchor) / 1e6, static_cast<double>(to - scale.anchor) / 1e6,
                               maxTicks);
        scale.caption = "\xE6\x97\xB6\xE9\x97\xB4 local time (UTC" + FormatUtcOffset(start.offsetMinutes) + ")";
        return scale;
    }
    scale.anchor = ShownNow(now);
    const bool minutes = to - from >= 300000000;
    scale.unitMicros = minutes ? 6e7 : 1e6;
    scale.axis = FixedAxis(static_cast<double>(from - scale.anchor) / scale.unitMicros,
                           static_cast<double>(to - scale.anchor) / scale.unitMicros, maxTicks);
    // 时间 time (s, 0 = 现在 now / 暂停时 when paused / 开始 start)
    scale.caption = std::string("\xE6\x97\xB6\xE9\x97\xB4 time (") + (minutes ? "min" : "s") +
                    (following_ ? ", 0 = \xE7\x8E\xB0\xE5\x9C\xA8 now)"
                     : Recordings() > 0 ? ", 0 = \xE5\xBC\x80\xE5\xA7\x8B start)" : ", 0 = \xE6\x9A\x82\xE5\x81\x9C\xE6\x97\xB6 when paused)");
    return scale;
}

std::string ScopeModel::TimeLabel(const TimeScale& scale, double tick) const
{
    if (!scale.wall)
        return TickLabel(tick, scale.axis);
    const double second = fmod(fmod(tick, 86400) + 86400, 86400);
    const int whole = static_cast<int>(floor(second));
    int decimals = scale.axis.step >= 1 ? 0 : std::min(6, static_cast<int>(ceil(-log10(scale.axis.step) - 1e-9)));
    std::string label = FormatText("%02d:%02d:%02d", whole / 3600, whole / 60 % 60, whole % 60);
    if (decimals > 0)
        label += FormatText("%.*f", decimals, second - whole).substr(1);
    return label;
}

std::string ScopeModel::FormatTime(int64_t now, int64_t axisMicros) const
{
    WallTime start = {};
    if (wallClock_ && AxisStart(&start)) {
        WallTime at = start;
        at.utcMicros += axisMicros;
        const std::string text = FormatLocalTime(at);   // milliseconds; the micros follow
        return text.substr(11, 12) + FormatText("%03d", static_cast<int>(((at.utcMicros % 1000) + 1000) % 1000));
    }
    const int64_t since = axisMicros - ShownNow(now);
    return (since < 0 ? "-" : "") + FormatText("%lld.%06lld s", static_cast<long long>(std::abs(since) / 1000000),
                                               static_cast<long long>(std::abs(since) % 1000000));
}

// ---- Cursors. ----

void ScopeModel::SetCursor(size_t which, int64_t axisMicros)
{
    if (which > 1)
        return;
    cursor_[which] = Clamp(axisMicros, -kMaxSpanMicros, kMaxSpanMicros);
    cursorSet_[which] = true;
}

void ScopeModel::ClearCursors()
{
    cursorSet_[0] = cursorSet_[1] = false;
}

// ---- A frame. ----

std::vector<Column> ScopeModel::TraceColumns(size_t index, int64_t now, size_t width)
{
    const Trace& trace = traces_[index];
    if (following_ && trace.source == 0) {
        std::vector<Column> fine;
        trace.strip.CopyEnding(now, &fine);
        return Regroup(fine, width);
    }
    int64_t from, to;
    View(now, &from, &to);
    const int64_t origin = Origin(trace.source);
    from -= origin;
    to -= origin;
    const ScopeSource& source = *sources_[trace.source];
    const size_t summary = source.data.SummaryOf(trace.code, trace.signal);
    if (summary == kNoSummary)
        return std::vector<Column>(width);
    bool coarse = false;
    std::vector<Column> columns = source.data.Summaries().Columns(summary, from, to + 1, width, &coarse);
    if (!coarse || width == 0)
        return columns;

    const TraceKey key(trace.code, trace.signal);
    const Detail& detail = details_[trace.source];
    if (Covers(detail, from, to, key)) {
        const size_t k = static_cast<size_t>(std::find(detail.keys.begin(), detail.keys.end(), key) - detail.keys.begin());
        const std::vector<Sample>& samples = detail.samples[k];
        std::vector<Column> exact(width);
        const double span = static_cast<double>(to + 1 - from);
        auto at = std::lower_bound(samples.begin(), samples.end(), from,
                                   [](const Sample& s, int64_t t) { return s.micros < t; });
        for (; at != samples.end() && at->micros <= to; ++at) {
            const double x = static_cast<double>(at->micros - from) * static_cast<double>(width) / span;
            exact[std::min(static_cast<size_t>(std::max(x, 0.0)), width - 1)].Add(at->value);
        }
        return exact;
    }
    // Ask for the stretch and a span either side, so that panning stays in it.
    const int64_t span = to - from;
    DetailRequest request{ trace.source, from - span, to + span, {} };
    for (const Trace& other : traces_) {
        if (other.source == trace.source)
            request.keys.emplace_back(other.code, other.signal);
    }
    const uint64_t low = static_cast<uint64_t>(std::max<int64_t>(request.from, 0));
    const uint64_t high = static_cast<uint64_t>(std::max<int64_t>(request.to, 0));
    const bool affordable = source.live ? history_.CountBetween(low, high) <= kDetailMessages
                                        : source.index.BytesBetween(low, high, source.bytesRead) <= kDetailBytes;
    const bool asked = std::any_of(wanted_.begin(), wanted_.end(), [&](const DetailRequest& r) {
        return r.source == trace.source && r.from <= from && r.to >= to &&
               std::find(r.keys.begin(), r.keys.end(), key) != r.keys.end();
    });
    if (affordable && !asked) {
        wanted_.erase(std::remove_if(wanted_.begin(), wanted_.end(),
                                     [&](const DetailRequest& r) { return r.source == trace.source; }),
                      wanted_.end());
        wanted_.push_back(request);
        pendingNew_ = true;
    }
    return columns;
}

std::vector<DetailRequest> ScopeModel::TakeDetailRequests()
{
    if (!pendingNew_)
        return std::vector<DetailRequest>();
    pendingNew_ = false;
    return wanted_;
}

void ScopeModel::SetDetail(size_t source, Detail detail)
{
    if (source >= details_.size())
        return;
    wanted_.erase(std::remove_if(wanted_.begin(), wanted_.end(),
                                 [&](const DetailRequest& r) {
                                     return r.source == source && r.from == detail.from && r.to == detail.to;
                                 }),
                  wanted_.end());
    details_[source] = std::move(detail);
}

Axis ScopeModel::ValueAxis(size_t pane, const std::vector<std::vector<Column>>& shown, int maxTicks) const
{
    if (pane < panes_.size() && panes_[pane].fixed) {
        const Axis& fixed = panes_[pane].axis;
        return fixed.ticks.empty() ? FixedAxis(fixed.low, fixed.high, maxTicks) : fixed;
    }
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

std::string ScopeModel::ValueText(size_t trace, double value) const
{
    const std::string unit = TraceUnit(trace);
    return NumberText(value) + (unit.empty() ? "" : " " + unit);
}

CursorReading ScopeModel::ReadAt(const std::vector<std::vector<Column>>& shown, size_t pixel, int64_t now) const
{
    CursorReading reading;
    size_t width = 1;
    for (const std::vector<Column>& columns : shown)
        width = std::max(width, columns.size());
    pixel = std::min(pixel, width - 1);
    int64_t from, to;
    View(now, &from, &to);
    reading.secondsBack = static_cast<double>(to - from) * static_cast<double>(width - 1 - pixel) /
                          static_cast<double>(width) / 1e6;
    for (size_t t = 0; t < shown.size(); ++t) {
        const std::vector<Column>& columns = shown[t];
        // As the readout and the chart's steps say it: an enum by its name.
        const Signal* signal = t < traces_.size() ? TraceSignal(t) : nullptr;
        const std::string unit = signal != nullptr && !signal->unit.empty() ? " " + signal->unit : "";
        auto said = [&](double value) {
            const std::string* name = signal != nullptr ? EnumNameAt(*signal, value) : nullptr;
            return name != nullptr ? *name : NumberText(value) + unit;
        };
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
            if (before == pixel && column.min != column.max && signal != nullptr && !signal->enums.empty())
                text = said(column.min) + ".." + said(column.max);
            else if (before == pixel && column.min != column.max)
                text = NumberText(column.min) + ".." + NumberText(column.max) + unit;
            else if (before == pixel || !IsDropout(gap, TypicalStep(columns)))
                text = said(before == pixel ? column.min : column.last);
        }
        reading.values.push_back(text);
    }
    return reading;
}

DetailCollector::DetailCollector(const DetailRequest& request, const SignalDatabase* signals, const SignalCodePages& pages,
                                 ArrayValue arrayValue)
    : signals_(signals), pages_(pages), arrayValue_(arrayValue)
{
    detail_.from = request.from;
    detail_.to = request.to;
    detail_.keys = request.keys;
    detail_.samples.resize(request.keys.size());
}

void DetailCollector::Add(const RecordedMessage& message)
{
    bool wanted = false;
    for (const TraceKey& key : detail_.keys)
        wanted = wanted || key.first == message.code;
    if (!wanted)
        return;
    decoded_.message = message;
    DecodeScopeMessage(signals_, pages_, &decoded_);
    for (size_t k = 0; k < detail_.keys.size(); ++k) {
        double value = 0;
        if (detail_.keys[k].first == message.code && TraceValueOfMessage(decoded_, detail_.keys[k].second, arrayValue_, &value))
            detail_.samples[k].push_back(Sample{ static_cast<int64_t>(message.micros), value });
    }
}
