#include "velkctl/RecordingReport.h"

#include <algorithm>


namespace {

// Small multiples: one narrow chart per signal, side by side on a page.
const int kReportChartWidth = 600, kReportChartHeight = 220;

// Each drawn signal, up to kReportPlots, as a trace of one chart from the
// recording's start: the charts then share their time axis.
PlotRequest ReportPlotRequest(const SignalDatabase& database)
{
    PlotRequest request;
    request.fromGiven = true;
    request.width = kReportChartWidth;
    request.height = kReportChartHeight;
    for (const SignalMessage& message : database.Messages()) {
        for (const Signal& signal : message.signals) {
            if (IsDrawnSignal(signal) && request.signals.size() < kReportPlots)
                request.signals.push_back(PlotSignalTrace{ signal.name, signal.unit });
        }
    }
    return request;
}

} // namespace

RecordingReport::RecordingReport(const SignalDatabase& signals, const SignalCodePages& pages)
    : database_(signals), pages_(pages), plot_(ReportPlotRequest(signals))
{
    size_t drawn = 0;
    for (const SignalMessage& message : signals.Messages()) {
        for (size_t i = 0; i < message.signals.size(); ++i) {
            if (!IsDrawnSignal(message.signals[i]))
                continue;
            firstSignal_.emplace(message.code, signals_.size());
            SignalReport report;
            report.message = &message;
            report.signal = &message.signals[i];
            report.index = i;
            if (drawn < kReportPlots)
                report.plot = drawn++;
            else
                ++undrawn_;
            signals_.push_back(report);
        }
    }
}

void RecordingReport::Add(const RecordedMessage& message)
{
    if (messages_ == 0)
        first_ = message.micros;
    last_ = message.micros;
    ++messages_;
    CodeEntry* entry = EntryOf(message.code);
    if (entry == nullptr) {
        ++unlisted_;
        return;
    }
    CodeReport* code = &codes_[entry->report];
    if (code->count > 0) {
        const ReportGap gap = { code->lastMicros, message.micros - code->lastMicros };
        if (gap.lengthMicros > code->longest.lengthMicros)
            code->longest = gap;
        // Exactly three periods is still on time; only longer is a gap.
        if (code->periodMicros > 0 && gap.lengthMicros > 3 * code->periodMicros) {
            if (code->gaps.size() < kReportListed)
                code->gaps.push_back(gap);
            ++code->longGaps;
        }
    } else {
        code->firstMicros = message.micros;
    }
    ++code->count;
    code->lastMicros = message.micros;
    if (entry->known == nullptr)
        return;
    if (message.expired) {
        checks_.Forget(message.code);   // the next one sets the counter afresh
        return;
    }
    if (HasChecks(*entry->known)) {
        MessageFaults faults = checks_.Check(*entry->known, message.value, message.bytes);
        if (faults.checksum && code->checksumFaults++ == 0)
            code->firstChecksumFault = message.micros;
        if (faults.counter && code->counterFaults++ == 0)
            code->firstCounterFault = message.micros;
    }
    if (entry->firstSignal != kRawTrace)
        AddSignals(*entry, message);
}

RecordingReport::CodeEntry* RecordingReport::EntryOf(uint32_t code)
{
    Cached& cached = cache_[code % (sizeof cache_ / sizeof cache_[0])];
    if (cached.entry != nullptr && cached.code == code)
        return cached.entry;
    std::unordered_map<uint32_t, CodeEntry>::iterator found = entries_.find(code);
    if (found == entries_.end()) {
        if (codes_.size() >= kReportCodes)
            return nullptr;
        CodeEntry entry;
        entry.report = codes_.size();
        entry.known = database_.FindCode(code);
        std::unordered_map<uint32_t, size_t>::const_iterator first = firstSignal_.find(code);
        if (first != firstSignal_.end())
            entry.firstSignal = first->second;
        CodeReport report;
        report.code = code;
        report.message = entry.known;
        report.periodMicros = entry.known != nullptr ? entry.known->periodMicros : 0;
        codes_.push_back(report);
        found = entries_.emplace(code, entry).first;   // nodes stay put: the cache keeps pointing right
    }
    cached.code = code;
    cached.entry = &found->second;
    return cached.entry;
}

void RecordingReport::AddSignals(const CodeEntry& entry, const RecordedMessage& message)
{
    const SignalMessage& known = *entry.known;
    DecodeMessage(known, message.value, message.bytes, pages_, &decoded_);
    for (size_t s = entry.firstSignal; s < signals_.size() && signals_[s].message == &known; ++s) {
        SignalReport& report = signals_[s];
        double value = 0;
        if (!DrawnValue(decoded_, report.index, &value))
            continue;
        if (report.count == 0 || value < report.min)
            report.min = value;
        if (report.count == 0 || value > report.max)
            report.max = value;
        report.sum += value;
        ++report.count;
        const DecodedSignal& decoded = decoded_[report.index];
        if (decoded.belowMin || decoded.aboveMax) {
            if (report.violationList.size() < kReportListed)
                report.violationList.push_back(ReportValue{ message.micros, value });
            ++report.violations;
        }
        if (!report.signal->enums.empty())
            AddTransition(&report, decoded.raw);
        if (report.plot != kRawTrace)
            plot_.AddValue(report.plot, message.micros, value);
    }
}

void RecordingReport::AddTransition(SignalReport* report, int64_t raw)
{
    const bool changed = report->hasLast && raw != report->lastRaw;
    const int64_t from = report->lastRaw;
    report->hasLast = true;
    report->lastRaw = raw;
    if (!changed)
        return;
    ++report->transitions;
    for (EnumTransition& transition : report->transitionList) {
        if (transition.from == from && transition.to == raw) {
            ++transition.count;
            return;
        }
    }
    if (report->transitionList.size() < kReportTransitions)
        report->transitionList.push_back(EnumTransition{ from, raw, 1 });
}

std::vector<SvgChart> RecordingReport::Charts() const
{
    const SvgChart whole = plot_.Chart();
    std::vector<SvgChart> charts;
    for (const SignalReport& report : signals_) {
        if (report.plot == kRawTrace || report.plot >= whole.traces.size())
            continue;
        SvgChart chart = whole;
        chart.title = report.signal->name;
        chart.valueLabel = report.signal->unit;
        chart.traces.assign(1, whole.traces[report.plot]);
        charts.push_back(chart);
    }
    return charts;
}
