// What a signal file means, as `velkctl signals check` and `signals show`
// print it. Pure logic: texts of whole lines, each ended by '\n'.
#pragma once
#include <stdint.h>
#include <string>

#include "signals/SignalDatabase.h"

// "3 messages, 5 signals".
std::string SignalSummary(const SignalDatabase& database);

// A duration as the file writes it: "100ms", "2s", "1m", "250us".
std::string FormatPeriod(uint64_t micros);

// Where a field sits: "byte 0 bits 0-3", "bytes 2-3 big", "bytes 4-11 text".
std::string FieldPlace(const Signal& field);

// Every message, one row each in aligned columns under a header, an array's
// fields in rows of their own below it.
std::string FormatSignalTable(const SignalDatabase& database);

// One message in full, named by its name or one of its signals' full names:
// its keys, each enum's values, and for an array the byte layout, one line
// per byte the fields cover (runs of whole bytes of one field as one line).
// False with why in *error when the file has no such name.
bool FormatSignalDetail(const SignalDatabase& database, const std::string& name, std::string* text, std::string* error);
