// The cursors' readout: for every trace the value in force at cursor A and
// at cursor B (the last sample at or before the cursor, with that sample's
// time: never an interpolation), B - A in time and in value, and the count,
// smallest, largest and mean of the samples between the cursors. The
// summary gives the whole buckets between the cursors; the few messages
// around each cursor are read again from the source, so every figure is
// exact whatever the file's size. Pure logic.
#pragma once
#include <stdint.h>
#include <functional>
#include <string>
#include <vector>

#include "common/PayloadText.h"
#include "formats/RecordLine.h"
#include "velkscope/ScopeModel.h"
#include "velkscope/Summary.h"

// How the readout reads a source again: every message with from <= micros
// <= to (the source's own time), in order, to visit (false stops).
typedef std::function<void(uint64_t from, uint64_t to, const std::function<bool(const RecordedMessage&)>& visit)>
    StretchReader;

struct ValueInForce {
    bool found = false;
    int64_t micros = 0;     // the sample's time on the axis
    bool number = false;    // value holds it
    double value = 0;
    std::string text;       // as shown: "2.41 bar", "RUNNING", "-3", a string's text
};

struct ReadoutRow {
    ValueInForce at[2];     // at A, at B
    TraceStats between;     // the samples from A to B, both included
};

struct Readout {
    bool set[2] = { false, false };
    int64_t times[2] = { 0, 0 };     // axis times of A and B
    std::vector<ReadoutRow> rows;    // one per trace, in the model's order
};

// readers: one per source (the model's order). textPage decodes the text of
// string messages a signal file does not know.
Readout ComputeReadout(const ScopeModel& model, const std::vector<StretchReader>& readers, const CodePage& textPage);

// The value in force at axis time t of one trace, found through the summary
// and read again from its source.
ValueInForce ValueAt(const ScopeModel& model, size_t trace, int64_t t, const StretchReader& reader,
                     const CodePage& textPage);

// The readout as a table: a header, the cursors' times, a row per trace;
// cells as the window shows them (UTF-8). Edit > Copy readout puts it on
// the clipboard tab-separated (ReadoutText).
std::vector<std::vector<std::string>> ReadoutCells(const ScopeModel& model, const Readout& readout, int64_t now);
std::string ReadoutText(const std::vector<std::vector<std::string>>& cells);

// What the readout's cells depend on besides the data: the cursors, the
// traces, their sources' offsets and the time's labels. The readout is made
// again when it changes; moving the view does not change it.
std::string ReadoutKey(const ScopeModel& model);

struct ReadoutCell {
    size_t row, column;   // in the cells, the header being row 0
};
// The cells of fresh a list showing shown must set: those that differ, and
// every one of the rows past the first rowsWithText list rows (new rows,
// empty). The header is not among them.
std::vector<ReadoutCell> ReadoutCellsToSet(const std::vector<std::vector<std::string>>& shown,
                                           const std::vector<std::vector<std::string>>& fresh, size_t rowsWithText);

