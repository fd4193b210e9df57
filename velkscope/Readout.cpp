#include "velkscope/Readout.h"

#include <algorithm>

#include "common/FormatText.h"
#include "signals/SignalText.h"

namespace {

// A trace's value of one message, as a number and as the readout shows it.
bool ReadValue(const ScopeModel& model, const Trace& trace, const ScopeMessage& message, const CodePage& textPage,
               ValueInForce* value)
{
    const ArrayValue arrays = model.Sources()[trace.source]->data.Arrays();
    double number = 0;
    if (!TraceValueOfMessage(message, trace.signal, arrays, &number))
        return false;
    value->found = true;
    value->number = !IsEventTrace(trace.code, trace.signal);
    value->value = number;
    if (IsEventTrace(trace.code, trace.signal)) {
        // A string: its text, by the signal file's encoding when it knows the code.
        value->text = message.known != nullptr && !message.signals.empty() ? message.signals.front().text
                                                                           : PayloadText(message.message.bytes, textPage);
    } else if (trace.signal != kRawTrace) {
        value->text = FormatSignalValue(message.signals[trace.signal]);
    } else {
        value->text = NumberText(number);
    }
    return true;
}

// The messages of one stretch, each decoded once, to every trace of the
// source that has their code.
void Scan(const ScopeModel& model, size_t source, const std::vector<size_t>& traces, const StretchReader& reader,
          uint64_t from, uint64_t to, const std::function<void(size_t trace, const ScopeMessage&)>& visit)
{
    ScopeMessage decoded;
    reader(from, to, [&](const RecordedMessage& message) {
        bool wanted = false;
        for (size_t t : traces)
            wanted = wanted || model.Traces()[t].code == message.code;
        if (!wanted)
            return true;
        decoded.message = message;
        DecodeScopeMessage(model.Signals(), model.Pages(), &decoded);
        for (size_t t : traces) {
            if (model.Traces()[t].code == message.code)
                visit(t, decoded);
        }
        return true;
    });
    (void)source;
}

uint64_t SourceTime(int64_t micros)
{
    return static_cast<uint64_t>(std::max<int64_t>(micros, 0));
}

// The values in force at axis time t of the given traces of one source.
void ValuesAt(const ScopeModel& model, size_t source, const std::vector<size_t>& traces, int64_t t,
              const StretchReader& reader, const CodePage& textPage, std::vector<ValueInForce>* values)
{
    const int64_t origin = model.Origin(source);
    const int64_t at = t - origin;
    const SourceData& data = model.Sources()[source]->data;
    const Summary& summary = data.Summaries();
    if (at < 0)
        return;
    // Most traces have a sample in the base bucket holding t: one read serves them all.
    int64_t start = 0, end = 0;
    summary.BucketSpan(at, &start, &end);
    std::vector<size_t> left;
    Scan(model, source, traces, reader, SourceTime(start), SourceTime(at), [&](size_t trace, const ScopeMessage& message) {
        ValueInForce value;
        if (ReadValue(model, model.Traces()[trace], message, textPage, &value)) {
            value.micros = static_cast<int64_t>(message.message.micros) + origin;
            (*values)[trace] = value;
        }
    });
    for (size_t trace : traces) {
        if ((*values)[trace].found)
            continue;
        // The last bucket before with a sample of this trace: its last one.
        const size_t id = data.SummaryOf(model.Traces()[trace].code, model.Traces()[trace].signal);
        SummaryBucket bucket;
        int64_t from = 0, to = 0;
        if (id == kNoSummary || start == 0 || !summary.LastBucketAtOrBefore(id, start - 1, &bucket, &from, &to))
            continue;
        Scan(model, source, { trace }, reader, SourceTime(from), SourceTime(to - 1), [&](size_t t2, const ScopeMessage& message) {
            ValueInForce value;
            if (ReadValue(model, model.Traces()[t2], message, textPage, &value)) {
                value.micros = static_cast<int64_t>(message.message.micros) + origin;
                (*values)[t2] = value;
            }
        });
    }
}

void StatsBetween(const ScopeModel& model, size_t source, const std::vector<size_t>& traces, int64_t a, int64_t b,
                  const StretchReader& reader, std::vector<ReadoutRow>* rows)
{
    const int64_t origin = model.Origin(source);
    a -= origin;
    b -= origin;
    if (b < 0)
        return;
    a = std::max<int64_t>(a, 0);
    const SourceData& data = model.Sources()[source]->data;
    const Summary& summary = data.Summaries();
    for (size_t trace : traces) {
        const size_t id = data.SummaryOf(model.Traces()[trace].code, model.Traces()[trace].signal);
        if (id != kNoSummary)
            (*rows)[trace].between = summary.WholeBucketStats(id, a, b);
    }
    // The ends: from A to the end of its bucket, from the start of B's to B.
    int64_t aStart = 0, aEnd = 0, bStart = 0, bEnd = 0;
    summary.BucketSpan(a, &aStart, &aEnd);
    summary.BucketSpan(b, &bStart, &bEnd);
    const ArrayValue arrays = data.Arrays();
    auto add = [&](size_t trace, const ScopeMessage& message) {
        double value = 0;
        if (TraceValueOfMessage(message, model.Traces()[trace].signal, arrays, &value))
            (*rows)[trace].between.Add(value);
    };
    if (aStart == bStart) {
        Scan(model, source, traces, reader, SourceTime(a), SourceTime(b), add);
        return;
    }
    Scan(model, source, traces, reader, SourceTime(a), SourceTime(aEnd - 1), add);
    Scan(model, source, traces, reader, SourceTime(bStart), SourceTime(b), add);
}

std::string Cell(const ValueInForce& value, const ScopeModel& model, int64_t now)
{
    return value.found ? value.text + " @ " + model.FormatTime(now, value.micros) : "-";
}

} // namespace

ValueInForce ValueAt(const ScopeModel& model, size_t trace, int64_t t, const StretchReader& reader, const CodePage& textPage)
{
    std::vector<ValueInForce> values(model.Traces().size());
    ValuesAt(model, model.Traces()[trace].source, { trace }, t, reader, textPage, &values);
    return values[trace];
}

Readout ComputeReadout(const ScopeModel& model, const std::vector<StretchReader>& readers, const CodePage& textPage)
{
    Readout readout;
    const std::vector<Trace>& traces = model.Traces();
    readout.rows.resize(traces.size());
    for (size_t which = 0; which < 2; ++which) {
        readout.set[which] = model.CursorSet(which);
        readout.times[which] = model.Cursor(which);
    }
    for (size_t source = 0; source < model.Sources().size() && source < readers.size(); ++source) {
        std::vector<size_t> mine;
        for (size_t t = 0; t < traces.size(); ++t) {
            if (traces[t].source == source)
                mine.push_back(t);
        }
        if (mine.empty())
            continue;
        for (size_t which = 0; which < 2; ++which) {
            if (!readout.set[which])
                continue;
            std::vector<ValueInForce> values(traces.size());
            ValuesAt(model, source, mine, readout.times[which], readers[source], textPage, &values);
            for (size_t t : mine)
                readout.rows[t].at[which] = values[t];
        }
        if (readout.set[0] && readout.set[1])
            StatsBetween(model, source, mine, std::min(readout.times[0], readout.times[1]),
                         std::max(readout.times[0], readout.times[1]), readers[source], &readout.rows);
    }
    return readout;
}

std::vector<std::vector<std::string>> ReadoutCells(const ScopeModel& model, const Readout& readout, int64_t now)
{
    std::vector<std::vector<std::string>> cells;
    // 曲线 trace, A, B, B-A, 最小 min, 最大 max, 平均 mean, 数量 count
    cells.push_back({ "\xE6\x9B\xB2\xE7\xBA\xBF trace", "A", "B", "B-A", "\xE6\x9C\x80\xE5\xB0\x8F min",
                      "\xE6\x9C\x80\xE5\xA4\xA7 max", "\xE5\xB9\xB3\xE5\x9D\x87 mean", "\xE6\x95\xB0\xE9\x87\x8F count" });
    const bool both = readout.set[0] && readout.set[1];
    std::vector<std::string> time = { "\xE6\x97\xB6\xE9\x97\xB4 time" };
    for (size_t which = 0; which < 2; ++which)
        time.push_back(readout.set[which] ? model.FormatTime(now, readout.times[which]) : "-");
    if (both) {
        const int64_t delta = readout.times[1] - readout.times[0];
        time.push_back(FormatText("%s%lld.%06lld s", delta < 0 ? "-" : "", static_cast<long long>(std::abs(delta) / 1000000),
                                  static_cast<long long>(std::abs(delta) % 1000000)));
    } else {
        time.push_back("-");
    }
    time.resize(8);
    cells.push_back(time);
    for (size_t t = 0; t < readout.rows.size() && t < model.Traces().size(); ++t) {
        const ReadoutRow& row = readout.rows[t];
        std::vector<std::string> line = { model.TraceName(t), Cell(row.at[0], model, now), Cell(row.at[1], model, now) };
        const bool numbers = row.at[0].number && row.at[1].number;
        line.push_back(numbers ? model.ValueText(t, row.at[1].value - row.at[0].value) : "-");
        const bool stats = both && row.between.count != 0;
        const bool numeric = !model.IsEvents(t);
        line.push_back(stats && numeric ? model.ValueText(t, row.between.min) : "-");
        line.push_back(stats && numeric ? model.ValueText(t, row.between.max) : "-");
        line.push_back(stats && numeric ? model.ValueText(t, row.between.Mean()) : "-");
        line.push_back(both ? FormatText("%llu", static_cast<unsigned long long>(row.between.count)) : "-");
        cells.push_back(line);
    }
    return cells;
}

std::string ReadoutText(const std::vector<std::vector<std::string>>& cells)
{
    std::string text;
    for (const std::vector<std::string>& row : cells) {
        for (size_t i = 0; i < row.size(); ++i) {
            // A cell never holds a tab or a line end: the table's shape stays.
            std::string cell = row[i];
            std::replace(cell.begin(), cell.end(), '\t', ' ');
            std::replace(cell.begin(), cell.end(), '\r', ' ');
            std::replace(cell.begin(), cell.end(), '\n', ' ');
            text += (i == 0 ? "" : "\t") + cell;
        }
        text += "\r\n";
    }
    return text;
}

std::string ReadoutKey(const ScopeModel& model)
{
    std::string key = FormatText("%d %lld %d %lld %d %zu|", model.CursorSet(0) ? 1 : 0, static_cast<long long>(model.Cursor(0)),
                                 model.CursorSet(1) ? 1 : 0, static_cast<long long>(model.Cursor(1)),
                                 model.WallClock() ? 1 : 0, model.Traces().size());
    for (const Trace& trace : model.Traces())
        key += FormatText("%zu:%08x:%zu:%lld ", trace.source, static_cast<unsigned>(trace.code), trace.signal,
                          static_cast<long long>(model.Origin(trace.source)));
    return key;
}

std::vector<ReadoutCell> ReadoutCellsToSet(const std::vector<std::vector<std::string>>& shown,
                                           const std::vector<std::vector<std::string>>& fresh, size_t rowsWithText)
{
    std::vector<ReadoutCell> cells;
    for (size_t row = 1; row < fresh.size(); ++row) {
        for (size_t column = 0; column < fresh[row].size(); ++column) {
            const bool same = row <= rowsWithText && row < shown.size() && column < shown[row].size() &&
                              shown[row][column] == fresh[row][column];
            if (!same)
                cells.push_back({ row, column });
        }
    }
    return cells;
}
