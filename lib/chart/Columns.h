// Min/max decimation, the oscilloscope technique: samples are grouped into
// columns of equal duration, and a column keeps only its first, last,
// smallest and largest value. A trace then costs what its columns cost to
// draw, however many samples it holds, and a one-sample spike stays in its
// column's min or max. Values are doubles: a data word fits one exactly, and
// a signal's physical value keeps its fraction. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

struct Sample {
    int64_t micros;   // on the trace's time axis
    double value;
};

struct Column {
    uint32_t count = 0;   // samples in the column; 0: empty
    double first = 0, last = 0, min = 0, max = 0;

    void Add(double value);
    // Appends a column that follows this one in time.
    void Merge(const Column& later);
};

// Fewer, wider columns: column p of the result merges the fine columns
// [p * n / width, (p + 1) * n / width), n being fine.size().
std::vector<Column> Regroup(const std::vector<Column>& fine, size_t width);

// Columns of equal duration over [from, from + span), filled one sample at
// a time in time order. Samples outside the span are not taken; doubling
// the span (merging neighbouring columns) until a later sample fits lets
// one pass decimate data of unknown length in fixed memory.
class ColumnSpan {
public:
    ColumnSpan(int64_t from, int64_t span, size_t count);

    bool Add(int64_t micros, double value);
    // Twice the span, neighbouring columns merged; false when it cannot
    // grow further (about 35 years of microseconds at 8,192 columns).
    bool Double();
    const std::vector<Column>& Columns() const { return columns_; }
    int64_t Span() const { return span_; }

private:
    int64_t from_;
    int64_t span_;
    std::vector<Column> columns_;
};

// The last count columns of a live trace, each window / count long and
// aligned to multiples of that length on the time axis. Every sample costs
// the same to add, and reading the strip costs count columns whatever the
// number of samples. Samples are added in time order.
class ColumnStrip {
public:
    ColumnStrip(int64_t windowMicros, size_t count);

    void Add(int64_t micros, double value);
    void Clear();
    // The count columns that end with the one holding now, oldest first;
    // columns no sample reached are empty.
    void CopyEnding(int64_t now, std::vector<Column>* out) const;

private:
    int64_t IndexOf(int64_t micros) const;

    int64_t window_;
    std::vector<Column> slots_;   // column index i lives in slot i % count
    int64_t newest_;              // index of the newest column written; -1: none
};
