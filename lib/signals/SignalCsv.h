// export's signal columns (formats/CsvExport.h) from a signal file. Pure logic.
#pragma once
#include <vector>

#include "formats/CsvExport.h"
#include "formats/RecordLine.h"
#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

// The message's signals, one CsvSignalCells each; none for a code the file
// lacks. A missing field's physical is empty.
std::vector<CsvSignalCells> SignalCsvCells(const SignalDatabase& database, const RecordedMessage& message,
                                           const SignalCodePages& pages);
