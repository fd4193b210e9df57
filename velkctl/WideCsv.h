// export --wide: a recording as one row per time step and one column per
// signal, each cell the value in force at that time (sample and hold), so a
// spreadsheet charts it without a pivot table. Pure logic.
//
//   time (UTC+08:00),seconds,motor.speed (rpm),motor.state,rig.text,0x20001077
//   2026-12-08 17:12:03.123,0.000000,148.25,,,
//   2026-12-08 17:12:03.133,0.010000,148.25,RUNNING,,
//
// Columns: the signals of the file's messages that the rows hold, in the
// file's order, the unit after the name; then a column per code the file
// lacks (or every code, without a file), named 0x and its hex, by code: its
// value, its text or 0x and its bytes. A row for each time at which a
// message came, after all messages of that time; a cell is empty until its
// first value, and stays as it was through a payload that had expired or
// an array too short for its field.
// Texts are written as formats/CsvExport.h's CsvTextField writes them.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/LocalTime.h"
#include "common/PayloadText.h"
#include "formats/RecordLine.h"
#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

class WideCsv {
public:
    // signals may be null; all must outlive this.
    WideCsv(const SignalDatabase* signals, const SignalCodePages& pages, const CodePage& codePage);

    // First pass over the rows' messages: the columns they need.
    void AddColumnsOf(const RecordedMessage& message);
    // After the first pass: the header row, without its line end.
    std::string Header(const WallTime* start);
    size_t Columns() const { return cells_.size(); }

    // Second pass, in the recording's order: the row of the time step
    // before this message when this one begins a new one.
    void Take(const RecordedMessage& message, const WallTime* start, std::vector<std::string>* rows);
    // The last time step's row.
    void Finish(const WallTime* start, std::vector<std::string>* rows);

private:
    // A column: a signal of a message (index in its signals), or a whole
    // code (signal -1).
    typedef std::pair<uint32_t, int> Key;
    std::string Row(const WallTime* start) const;

    const SignalDatabase* signals_;
    SignalCodePages pages_;
    const CodePage& codePage_;
    std::map<Key, size_t> columns_;     // first pass: the keys; then their places
    std::vector<std::string> cells_;    // the value in force of each column, as a CSV cell
    bool pending_ = false;              // a time step's messages taken, its row not yet written
    uint64_t micros_ = 0;               // its time
};
