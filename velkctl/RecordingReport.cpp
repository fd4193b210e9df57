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
    const SignalMessage* known = database_.FindCode(message.code);
    CodeReport* code = CodeOf(message, known);
    if (code != nullptr) {
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
    }
    if (known == nullptr)
        return;
    if (message.expired) {
        checks_.Forget(message.code);   // the next one sets the counter afresh
        return;
    }
    if (code != nullptr && HasChecks(*known)) {
        MessageFaults faults = checks_.Check(*known, message.value, message.bytes);
        if (faults.checksum && code->checksumFaults++ == 0)
            code->firstChecksumFault = message.micros;
        if (faults.counter && code->counterFaults++ == 0)
            code->firstCounterFault = message.micros;
    }
    AddSignals(*known, message);
}

CodeReport* RecordingReport::CodeOf(const RecordedMessage& message, const SignalMessage* known)
{
    std::unordered_map<uint32_t, size_t>::const_iterator found = codeIndex_.find(message.code);
    if (found != codeIndex_.end())
        return &codes_[found->second];
    if (codes_.size() >= kReportCodes) {
        ++unlisted_;
        return nullptr;
    }
    codeIndex_.emplace(message.code, codes_.size());
    CodeReport code;
    code.code = message.code;
    code.message = known;
    code.periodMicros = known != nullptr ? known->periodMicros : 0;
    codes_.push_back(code);
    return &codes_.back();
}

void RecordingReport::AddSignals(const SignalMessage& known, const RecordedMessage& message)
{
    std::unordered_map<uint32_t, size_t>::const_iterator first = firstSignal_.find(message.code);
    if (first == firstSignal_.end())
        return;
    DecodeMessage(known, message.value, message.bytes, pages_, &decoded_);
    for (size_t s = first->second; s < signals_.size() && signals_[s].message == &known; ++s) {
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
