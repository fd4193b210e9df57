#include "velkscope/Source.h"

#include <inttypes.h>

#include "common/FormatText.h"
#include "formats/CodeRows.h"

void DecodeScopeMessage(const SignalDatabase* signals, const SignalCodePages& pages, ScopeMessage* message)
{
    const RecordedMessage& raw = message->message;
    message->known = signals != nullptr ? signals->FindCode(raw.code) : nullptr;
    if (message->known != nullptr)
        DecodeMessage(*message->known, raw.value, raw.bytes, pages, &message->signals);
    else
        message->signals.clear();
}

MessageFaults CheckScopeMessage(const ScopeMessage& message, MessageChecks* checks)
{
    const SignalMessage* known = message.known;
    if (known == nullptr || !HasChecks(*known))
        return MessageFaults();
    if (message.message.expired) {
        checks->Forget(message.message.code);
        return MessageFaults();
    }
    return checks->Check(*known, message.message.value, message.message.bytes);
}

std::string FormatRowMarks(bool late, const FaultCounts& faults)
{
    std::string marks = late ? "\xE8\xBF\x9F\xE5\x88\xB0 late" : "";   // 迟到
    if (faults.checksum != 0)
        marks += (marks.empty() ? "" : "  ") + FormatText("!crc %" PRIu64, faults.checksum);
    if (faults.counter != 0)
        marks += (marks.empty() ? "" : "  ") + FormatText("!cnt %" PRIu64, faults.counter);
    return marks;
}

bool IsEventTrace(uint32_t code, size_t signal)
{
    return signal == kRawTrace && ClassifyCode(code) == kStringPayload;
}

bool TraceValueOfMessage(const ScopeMessage& message, size_t signal, ArrayValue arrayValue, double* value)
{
    const RecordedMessage& raw = message.message;
    if (IsEventTrace(raw.code, signal)) {
        *value = 0;
        return true;
    }
    if (signal != kRawTrace)
        return message.known != nullptr && DrawnValue(message.signals, signal, value);
    int32_t drawn = 0;
    if (!TraceValueOf(raw.kind, raw.value, raw.bytes, arrayValue, &drawn))
        return false;
    *value = drawn;
    return true;
}

std::vector<size_t> TracesOfCode(uint32_t code, const SignalMessage* known)
{
    std::vector<SignalTraceRef> drawn;
    if (known != nullptr && ClassifyCode(code) != kStringPayload)
        AddMessageTraces(*known, &drawn);
    std::vector<size_t> signals;
    for (const SignalTraceRef& trace : drawn)
        signals.push_back(trace.index);
    if (signals.empty())
        signals.push_back(kRawTrace);
    return signals;
}

SourceData::SourceData(const SignalDatabase* signals, ArrayValue arrayValue, size_t budgetBytes, int64_t baseWidth)
    : signals_(signals), arrayValue_(arrayValue), budget_(budgetBytes), baseWidth_(baseWidth), summary_(budgetBytes, baseWidth)
{
}

int SourceData::RowOf(uint32_t code) const
{
    size_t at = RowIndex(rows_, code);
    return at < rows_.size() && rows_[at].code == code ? static_cast<int>(at) : -1;
}

size_t SourceData::SummaryOf(uint32_t code, size_t signal) const
{
    const int row = RowOf(code);
    if (row < 0)
        return kNoSummary;
    for (const SourceTrace& trace : rows_[static_cast<size_t>(row)].traces) {
        if (trace.signal == signal)
            return trace.summary;
    }
    return kNoSummary;
}

SourceRow* SourceData::RowFor(const ScopeMessage& message, bool* inserted)
{
    SourceRow* row = RowForCode(rows_, message.message.code, kMaxCodes, inserted);
    if (row != nullptr && *inserted) {
        rowOf_.clear();   // the rows after it moved
        const SignalMessage* known = signals_ != nullptr ? signals_->FindCode(row->code) : nullptr;
        for (size_t signal : TracesOfCode(row->code, known)) {
            const bool room = summary_.Traces() < kMaxSourceTraces;
            row->traces.push_back(SourceTrace{ signal, room ? summary_.AddTrace() : kNoSummary });
        }
    }
    return row;
}

int SourceData::NoteLatest(const ScopeMessage& latest, uint64_t count, const FaultCounts& faults, bool* inserted)
{
    received_ += count;
    SourceRow* row = RowFor(latest, inserted);
    if (row == nullptr) {
        unlisted_ += count;
        return -1;
    }
    const RecordedMessage& raw = latest.message;
    row->count += count;
    row->faults.Add(faults);
    row->changed = true;
    row->latest.Set(raw.kind, raw.value, raw.bytes.data(), static_cast<int32_t>(raw.bytes.size()));
    row->latest.expired = raw.expired;
    row->decoded = latest.signals;
    row->lastMicros = static_cast<int64_t>(raw.micros);
    return static_cast<int>(row - rows_.data());
}

int SourceData::Add(const ScopeMessage& message, bool* inserted)
{
    FaultCounts faults;
    faults.Add(CheckScopeMessage(message, &checks_));
    const int at = NoteLatest(message, 1, faults, inserted);
    if (at < 0)
        return at;
    const RecordedMessage& raw = message.message;
    for (const SourceTrace& trace : rows_[static_cast<size_t>(at)].traces) {
        double value = 0;
        if (trace.summary != kNoSummary && TraceValueOfMessage(message, trace.signal, arrayValue_, &value))
            summary_.Add(trace.summary, static_cast<int64_t>(raw.micros), value);
    }
    return at;
}

void SourceData::AddSample(uint32_t code, size_t signal, int64_t micros, double value)
{
    size_t row = lastRow_;
    if (row >= rows_.size() || rows_[row].code != code) {
        auto at = rowOf_.find(code);
        if (at == rowOf_.end()) {
            const int found = RowOf(code);
            if (found < 0)
                return;
            at = rowOf_.emplace(code, static_cast<size_t>(found)).first;
        }
        row = lastRow_ = at->second;
    }
    for (const SourceTrace& trace : rows_[row].traces) {
        if (trace.signal == signal && trace.summary != kNoSummary)
            summary_.Add(trace.summary, micros, value);
    }
}

void SourceData::Clear()
{
    summary_ = Summary(budget_, baseWidth_);
    for (SourceRow& row : rows_) {
        row.count = 0;
        row.faults = FaultCounts();
        row.changed = true;
        for (SourceTrace& trace : row.traces)
            trace.summary = summary_.Traces() < kMaxSourceTraces ? summary_.AddTrace() : kNoSummary;
    }
    received_ = 0;
    unlisted_ = 0;
}

void SourceData::Redecode(const SignalDatabase* signals, const SignalCodePages& pages)
{
    signals_ = signals;
    summary_ = Summary(budget_, baseWidth_);
    checks_ = MessageChecks();
    for (SourceRow& row : rows_) {
        const SignalMessage* known = signals_ != nullptr ? signals_->FindCode(row.code) : nullptr;
        row.traces.clear();
        for (size_t signal : TracesOfCode(row.code, known))
            row.traces.push_back(SourceTrace{ signal, summary_.Traces() < kMaxSourceTraces ? summary_.AddTrace() : kNoSummary });
        row.decoded.clear();
        row.faults = FaultCounts();
        if (known != nullptr && row.count != 0)
            DecodeMessage(*known, row.latest.value, row.latest.bytes, pages, &row.decoded);
        row.changed = true;
    }
}
