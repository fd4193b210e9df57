// Export CSV: the messages behind the traces between the cursors (or the
// stretch in view), with velkctl export's columns (formats/CsvExport.h)
// and, with a signal file, its four signal columns (signals/SignalCsv.h).
// Written a line at a time, so a stretch of any length costs no memory.
// Pure logic.
#pragma once
#include <stdint.h>
#include <functional>
#include <string>
#include <vector>

#include "common/PayloadText.h"
#include "formats/RecordLine.h"
#include "velkscope/Readout.h"
#include "velkscope/ScopeModel.h"

// The messages of the codes drawn, with axis times in [from, to]: source by
// source (the model's order), each in time order. visit returns false to stop.
void ForEachShownMessage(const ScopeModel& model, const std::vector<StretchReader>& readers, int64_t from, int64_t to,
                         const std::function<bool(size_t source, const RecordedMessage&)>& visit);

// The whole CSV, each line handed to write with its line end (the byte
// order mark before the header); write returns false to stop. String
// payloads are decoded in codePage. False when write stopped it.
bool WriteShownCsv(const ScopeModel& model, const std::vector<StretchReader>& readers, int64_t from, int64_t to,
                   const CodePage& codePage, const std::function<bool(const std::string& line)>& write);
